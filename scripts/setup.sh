#!/usr/bin/env bash
# Installs every Debian package that building and testing need. Safe to run twice.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev fonts-dejavu-core
  msitools
  clang libclang-rt-14-dev
  desktop-file-utils man-db xdg-utils shared-mime-info lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi

# Peers for the differential checks (Wine's installer service, cross compiler).
if [[ -x scripts/setup-peers.sh ]]; then
  scripts/setup-peers.sh
fi
