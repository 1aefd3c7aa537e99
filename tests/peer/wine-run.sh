#!/usr/bin/env bash
# Runs a Windows console program under the project's Wine prefix, headless:
#   tests/peer/wine-run.sh PROGRAM.exe [ARG...]
#   tests/peer/wine-run.sh --check      exit 0 when Wine and the prefix are there (runs nothing)
#   tests/peer/wine-run.sh --which      print the loader, the server and the prefix (runs nothing)
# The program's standard output, standard error and exit status pass through unchanged.
# Arguments pass through as they are; msiprobe itself reads "/a/b" as "Z:\a\b" (Wine maps
# drive Z: to the Unix root), so Unix paths can be given directly.
#
# Prefix: $FENNICK_WINEPREFIX, default ~/.cache/fennick/wineprefix (made by
# scripts/setup-peers.sh). Exit 125 when Wine or the prefix is missing, so that callers can
# tell "no peer here" from a failing program; 124 when the program ran out of time.
set -euo pipefail

if (($# < 1)); then
  echo "usage: wine-run.sh PROGRAM.exe [ARG...] | --check" >&2
  exit 2
fi

# The same 64-bit loader scripts/setup-peers.sh made the prefix with.
source "$(dirname "$0")/../../scripts/wine-loader.sh"
if ! wine_find_loader; then
  echo "wine-run: $WINE_MISSING" >&2
  exit 125
fi
wine=$WINE_LOADER
prefix=${FENNICK_WINEPREFIX:-${HOME:-/tmp}/.cache/fennick/wineprefix}
if [[ ! -f $prefix/system.reg ]]; then
  echo "wine-run: no Wine prefix at $prefix (run scripts/setup-peers.sh)" >&2
  exit 125
fi

[[ $1 == --check ]] && exit 0
if [[ $1 == --which ]]; then
  printf 'loader\t%s\nfound-by\t%s\nserver\t%s\nprefix\t%s\n' "$WINE_LOADER" "$WINE_FOUND_BY" "$WINE_SERVER" "$prefix"
  exit 0
fi

export WINEPREFIX=$prefix
export WINEDEBUG=${FENNICK_WINEDEBUG:--all}
# No Mono or Gecko prompts; nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Headless: without DISPLAY, Wine's graphics driver stays unloaded for console programs.
unset DISPLAY WAYLAND_DISPLAY
# Arguments and file names are UTF-8 whatever the caller's locale; Wine's own locale is then
# en-US (ANSI codepage 1252).
export LC_ALL=C.UTF-8
# A hung program must not hold a test run: stop it after $FENNICK_WINE_TIMEOUT seconds.
exec timeout --kill-after=10 "${FENNICK_WINE_TIMEOUT:-300}" "$wine" "$@"
