#!/usr/bin/env bash
# Cross-compiles fennick-msi for 64-bit Windows with Debian's mingw-w64 (the engine and its
# command line; the tool's windows need Qt and stay on Linux): build-windows/tools/fennick-msi.exe
# (or $WINDOWS_BUILD_DIR). scripts/setup-peers.sh installs the cross compiler.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${WINDOWS_BUILD_DIR:-build-windows}
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "build-windows: no x86_64-w64-mingw32-g++-posix (run scripts/setup-peers.sh)" >&2
  exit 1
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-Release} \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DFENNICK_GUI=OFF -DFENNICK_TESTS=OFF "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target fennick-msi
echo "$BUILD_DIR/tools/fennick-msi.exe"
