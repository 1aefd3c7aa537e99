# Sourced by scripts/setup-peers.sh and tests/peer/wine-run.sh so that both run the same
# Wine: the 64-bit loader, because the project's prefix is 64-bit only.
#
# Debian's `wine` launcher prefers the 32-bit loader (/usr/lib/wine/wine, from wine32:i386)
# whenever it is installed, and that loader cannot start in a 64-bit prefix ("could not load
# kernel32.dll"). So the 64-bit loader is called directly: bookworm's wine64 package ships it
# as /usr/lib/wine/wine64 (with /usr/lib/wine/wineserver64) and no wine64 on PATH; other
# layouts have wine64 on PATH; a Wine whose `wine` is itself 64-bit is the last resort.
#
# wine_find_loader sets WINE_LOADER, WINE_SERVER and WINE_FOUND_BY (how it was found), or
# returns 1 with WINE_MISSING saying what is missing. $FENNICK_WINE_LOADER overrides.

wine_find_loader() {
  WINE_LOADER="" WINE_SERVER="" WINE_FOUND_BY="" WINE_MISSING=""
  local candidate
  if [[ -n ${FENNICK_WINE_LOADER:-} ]]; then
    WINE_LOADER=$FENNICK_WINE_LOADER WINE_FOUND_BY="FENNICK_WINE_LOADER"
  elif candidate=$(command -v wine64); then
    WINE_LOADER=$candidate WINE_FOUND_BY="wine64 on PATH"
  elif [[ -x /usr/lib/wine/wine64 ]]; then
    WINE_LOADER=/usr/lib/wine/wine64 WINE_FOUND_BY="Debian's wine64 package"
  elif candidate=$(command -v wine); then
    WINE_LOADER=$candidate WINE_FOUND_BY="wine on PATH (no separate 64-bit loader)"
  else
    WINE_MISSING="no Wine loader (wine64 on PATH, /usr/lib/wine/wine64 or wine; run scripts/setup-peers.sh)"
    return 1
  fi
  if [[ ! -x $WINE_LOADER ]]; then
    WINE_MISSING="Wine loader $WINE_LOADER is not an executable"
    return 1
  fi
  # The server that belongs to the loader: beside it under Debian's names, else on PATH.
  local dir
  dir=$(dirname "$WINE_LOADER")
  if [[ -x $dir/wineserver64 && $(basename "$WINE_LOADER") == wine64 ]]; then
    WINE_SERVER=$dir/wineserver64
  elif [[ -x $dir/wineserver ]]; then
    WINE_SERVER=$dir/wineserver
  else
    WINE_SERVER=$(command -v wineserver || true)
  fi
  # Processes Wine starts inside the prefix (wineboot's helpers, cmd) use the same loader.
  export WINELOADER=$WINE_LOADER
  [[ -n $WINE_SERVER ]] && export WINESERVER=$WINE_SERVER
  return 0
}

# The word size of an ELF executable: 64, 32, or "" when it is not ELF (a script).
wine_elf_bits() {
  local magic class
  magic=$(head -c 4 "$1" 2>/dev/null | od -An -c | tr -d ' ')
  [[ $magic == 177ELF ]] || return 0
  class=$(head -c 5 "$1" | tail -c 1 | od -An -tu1 | tr -d ' ')
  [[ $class == 2 ]] && echo 64 || echo 32
}
