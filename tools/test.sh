#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest: once in a normal build
# (build/) and once with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/); the Debian
# package is built from the normal build and checked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
bash tools/check-package.sh build
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSARO_SANITIZE=ON
echo "All tests passed (normal and sanitizer builds)."
