#!/usr/bin/env bash
# CTest check of the Wine setup the peer tests rely on: prints which Wine loader and server
# scripts/wine-loader.sh found, then checks that the loader is 64-bit, that the prefix is a
# 64-bit one, and that a program actually runs in it through tests/peer/wine-run.sh.
# Exit 77 (a skip) with the reason when Wine or the prefix is not there.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-loader.sh"

if ! wine_find_loader; then
  # A loader named explicitly that is not there is a broken setup, not a missing one.
  [[ -n ${FENNICK_WINE_LOADER:-} ]] && { echo "FAIL: $WINE_MISSING (FENNICK_WINE_LOADER)"; exit 1; }
  echo "skipped: $WINE_MISSING"
  exit 77
fi
bits=$(wine_elf_bits "$WINE_LOADER")
echo "loader:  $WINE_LOADER (${bits:-script}${bits:+-bit}; $WINE_FOUND_BY)"
echo "version: $("$WINE_LOADER" --version 2>&1 | head -n 1)"
echo "server:  ${WINE_SERVER:-none}"
# The launcher users type picks the 32-bit loader when wine32 is installed; say so.
if [[ -x /usr/lib/wine/wine ]]; then
  echo "note:    a 32-bit loader is installed (/usr/lib/wine/wine); \`wine\` would pick it, we do not"
fi

failed=0
if [[ $bits == 32 ]]; then
  echo "FAIL: $WINE_LOADER is a 32-bit loader; the prefix is 64-bit only"
  failed=1
fi

prefix=${FENNICK_WINEPREFIX:-${HOME:-/tmp}/.cache/fennick/wineprefix}
if [[ ! -f $prefix/system.reg ]]; then
  echo "skipped: no Wine prefix at $prefix (run scripts/setup-peers.sh)"
  exit $((failed ? 1 : 77))
fi
arch=$(grep -m1 '^#arch=' "$prefix/system.reg" | cut -d= -f2)
echo "prefix:  $prefix (${arch:-unknown arch})"
if [[ $arch != win64 ]]; then
  echo "FAIL: the prefix is not a 64-bit one (#arch=$arch)"
  failed=1
fi

# wine-run.sh must use the same loader, and the loader must start in the prefix.
used=$("$here/wine-run.sh" --which | awk -F'\t' '$1 == "loader" { print $2 }')
if [[ $used != "$WINE_LOADER" ]]; then
  echo "FAIL: wine-run.sh uses $used, not $WINE_LOADER"
  failed=1
fi
out=$("$here/wine-run.sh" cmd.exe /c echo fennick-wine-ok 2>&1)
if [[ $out != *fennick-wine-ok* ]]; then
  echo "FAIL: cmd.exe did not run in the prefix:"
  echo "$out" | head -n 5
  failed=1
else
  echo "run:     cmd.exe ran in the prefix"
fi
exit $failed
