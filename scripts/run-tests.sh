#!/usr/bin/env bash
# Builds libtx and runs the whole test suite twice: a normal build and a build
# under AddressSanitizer and UndefinedBehaviorSanitizer, both with warnings as
# errors. Installs missing Debian packages first (as root).
#
#   scripts/run-tests.sh              both builds
#   TX_TEST_BUILDS=release scripts/run-tests.sh   only the normal build
#   TX_TEST_BUILDS=sanitize scripts/run-tests.sh  only the sanitized build
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

jobs=$(nproc)
builds=${TX_TEST_BUILDS:-"release sanitize"}

for build in $builds; do
  dir="$root/build/$build"
  case "$build" in
    release)  extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    sanitize) extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTX_SANITIZE=ON -DTX_BUILD_BENCHMARKS=OFF) ;;
    *) echo "unknown build '$build'" >&2; exit 2 ;;
  esac
  echo "=== $build build ==="
  cmake -S "$root" -B "$dir" -G Ninja -DTX_WERROR=ON "${extra[@]}"
  cmake --build "$dir" -j "$jobs"
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
done
echo "All tests passed."
