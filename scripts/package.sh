#!/usr/bin/env bash
# Builds the programs and makes the Debian package with CPack: build/package/fennick_*.deb
# (or $BUILD_DIR/package). Runs lintian on it when lintian is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [[ ! -f $BUILD_DIR/CPackConfig.cmake ]]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$BUILD_DIR" -j "$(nproc)" --target fennick fennick-msi manpages package_changelog
out=$BUILD_DIR/package
rm -f "$out"/*.deb
cpack --config "$BUILD_DIR/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/*.deb)
echo "$deb"
if command -v lintian >/dev/null; then
  lintian --info "$deb" || true
fi
