#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the demo need, when any is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev libqt6sql6-sqlite libpng-dev zlib1g-dev xvfb xauth
          fonts-wqy-microhei fonts-liberation2 iproute2 util-linux
          dpkg-dev libcap2-bin  # the Debian package: shlibdeps; setcap in its install step
          libcap-dev  # start-up drops the port's capability
          help2man man-db lintian  # manual pages from --help, their check; the package check
          clang-14 libclang-rt-14-dev  # the fuzz targets
          qt6-httpserver-dev qt6-websockets-dev libmosquitto-dev libqrencode-dev  # the remote view
          mosquitto chromium openssl  # its tests and the screenshot of the page in the demo
          poppler-utils)  # the plan report test reads and renders its PDF

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  sudo apt-get update -qq
  sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
else
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Run this as root (or with sudo) once, or install them: apt-get install ${missing[*]}" >&2
  exit 1
fi
