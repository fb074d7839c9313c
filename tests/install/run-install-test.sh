#!/usr/bin/env bash
# The outside-program check: installs a libtx build tree into a temporary
# prefix, builds the consumer program of this folder against it with
# find_package(Tx) and runs it, then checks that pkg-config describes the
# installed library well enough to build the same program.
#
#   tests/install/run-install-test.sh <build tree> [work folder]
#
# TX_CONSUMER_FLAGS holds compiler and linker flags the consumer needs to link
# with the library as it was built (the sanitizers of a sanitized build).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run-install-test.sh <build tree> [work folder]}" && pwd)
if [ -n "${2:-}" ]; then
  work=$2
  rm -rf "$work"
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
prefix=$work/prefix
flags=${TX_CONSUMER_FLAGS:-}

echo "== installing $build into $prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

echo "== building the consumer with find_package(Tx)"
generator=()
if command -v ninja > /dev/null; then generator=(-G Ninja); fi
cmake -S "$here" -B "$work/consumer" "${generator[@]}" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" > "$work/configure.log"
cmake --build "$work/consumer" -j 2 > "$work/build.log"
"$work/consumer/tx_consumer"

echo "== building the consumer with pkg-config"
libdir=$(find "$prefix" -name tx.pc -path '*pkgconfig*' -printf '%h\n' | head -n 1)
if [ -z "$libdir" ]; then
  echo "no tx.pc installed" >&2
  exit 1
fi
export PKG_CONFIG_PATH=$libdir
cflags=$(pkg-config --cflags tx)
libs=$(pkg-config --libs --static tx)
echo "pkg-config --cflags --libs tx: $(pkg-config --cflags --libs tx)"
# shellcheck disable=SC2086
${CXX:-c++} -std=c++17 $flags $cflags "$here/consumer.cpp" -o "$work/tx_consumer_pc" $libs
"$work/tx_consumer_pc"
echo "== install test passed"
