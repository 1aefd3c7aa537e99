#!/usr/bin/env bash
# Installs the peers of the differential checks (Wine's installer service and the mingw-w64
# cross compiler for the probe in tests/peer/ and for scripts/build-windows.sh, whose
# fennick-msi.exe the checks run under Wine) and creates a headless Wine prefix once.
# Safe to run twice. Debian packages only.
#
# Prefix: $FENNICK_WINEPREFIX, default ~/.cache/fennick/wineprefix. Timings go to stdout so a
# CI log shows what the peers cost.
set -euo pipefail

packages=(wine wine64 gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64)

now() { date +%s; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
if ((${#missing[@]})); then
  start=$(now)
  echo "setup-peers: installing ${missing[*]}"
  # A machine whose package lists were never fetched knows no candidate for these.
  if ! apt-cache policy wine64 2>/dev/null | grep -q 'Candidate: [0-9]'; then
    $SUDO apt-get update -qq
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  echo "setup-peers: packages installed in $(($(now) - start)) s"
else
  echo "setup-peers: all peer packages present"
fi

# The 64-bit loader, found as tests/peer/wine-run.sh finds it (scripts/wine-loader.sh).
source "$(dirname "$0")/wine-loader.sh"
if ! wine_find_loader; then
  echo "setup-peers: $WINE_MISSING" >&2
  exit 1
fi
echo "setup-peers: Wine loader $WINE_LOADER ($WINE_FOUND_BY), server ${WINE_SERVER:-none}"

prefix=${FENNICK_WINEPREFIX:-${HOME:-/tmp}/.cache/fennick/wineprefix}
if [[ -f $prefix/system.reg ]]; then
  echo "setup-peers: Wine prefix present at $prefix"
  exit 0
fi

start=$(now)
echo "setup-peers: creating Wine prefix at $prefix"
mkdir -p "$(dirname "$prefix")"
rm -rf "$prefix"
# No display: the null graphics driver keeps wineboot from looking for an X server, and
# mscoree/mshtml are disabled so it does not offer to install Mono or Gecko.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
"$WINE_LOADER" wineboot -i </dev/null
if [[ -n $WINE_SERVER ]]; then "$WINE_SERVER" -w 2>/dev/null || true; fi
if [[ ! -f $prefix/system.reg ]]; then
  echo "setup-peers: wineboot left no registry in $prefix" >&2
  exit 1
fi
echo "setup-peers: Wine prefix created in $(($(now) - start)) s"
