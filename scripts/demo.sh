#!/usr/bin/env bash
# Installs what is needed, builds, and runs the tool on the project's demo package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
demo=examples/demo.msi
[[ -f build/examples/demo.msi ]] && demo=build/examples/demo.msi
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  walk=examples/demo.walk
  echo "demo: no display; replaying $walk headless"
  exec build/src/fennick --replay "$walk" "$demo"
fi
exec build/src/fennick "$demo"
