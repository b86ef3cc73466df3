#!/usr/bin/env bash
# Unpacks Debian's QCustomPlot 2.1 for Qt 6 (library and header) into <build>/qcustomplot, for the
# chart benchmark's comparison only; nothing of it is installed or linked into Tessaro. Its -dev
# package depends on Qt 5, so the packages are fetched with apt-get download and unpacked with
# dpkg -x instead of installed. Then reconfigure: cmake -S . -B <build>.
set -euo pipefail
build=${1:-build}
target=$(realpath -m "$build/qcustomplot")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get download libqcustomplot2.1-qt6 libqcustomplot-dev
mkdir -p "$target"
for deb in ./*.deb; do
  dpkg -x "$deb" "$target"
done
echo "QCustomPlot unpacked in $target"
