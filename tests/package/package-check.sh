#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from this build, unpacked with
# dpkg-deb into a scratch root, and each installed piece used there:
#   package-check.sh BUILD_DIR FIXTURES_DIR
# Exit 77 (a skip) with the reason when cpack, dpkg-deb or the fixtures are missing.
set -uo pipefail
build=$(cd "$1" && pwd)
fixtures=$2
skip() { echo "skipped: $*"; exit 77; }
command -v cpack >/dev/null || skip "cpack not installed (package cmake)"
command -v dpkg-deb >/dev/null || skip "dpkg-deb not installed (package dpkg)"
[[ -f $build/CPackConfig.cmake ]] || skip "no CPackConfig.cmake in $build"
pkg=$fixtures/ui-wix3-minimal-gaze/GazeToolbarInstall.msi
[[ -f $pkg ]] || skip "fixture $pkg not found"

failed=0
fail() { echo "FAIL: $*"; failed=1; }
work=$build/test-scratch/Package
rm -rf "$work" && mkdir -p "$work"

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"
dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
root=$work/root
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"

# Every shared library the programs link directly belongs to a Debian package the .deb
# depends on (dpkg itself records which package owns which file).
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/[[:space:]]//g')
for program in fennick fennick-msi; do
  [[ -x $root/usr/bin/$program ]] || { fail "/usr/bin/$program not installed"; continue; }
  paths=$(ldd "$root/usr/bin/$program")
  for needed in $(objdump -p "$root/usr/bin/$program" | awk '$1 == "NEEDED" { print $2 }'); do
    lib=$(awk -v n="$needed" '$1 == n && $2 == "=>" { print $3 }' <<<"$paths")
    [[ -n $lib ]] || { fail "$program: $needed not found"; continue; }
    owner=$(dpkg -S "$(realpath "$lib")" 2>/dev/null | head -n1 | cut -d: -f1)
    [[ -z $owner ]] && owner=$(dpkg -S "$lib" 2>/dev/null | head -n1 | cut -d: -f1)
    [[ -n $owner ]] || { fail "$program: no Debian package owns $lib"; continue; }
    grep -qxF "$owner" <<<"$names" || fail "$program needs $needed from $owner, which is not in Depends"
  done
done

# The installed programs run.
expected=$("$build/tools/fennick-msi" tables "$pkg")
got=$("$root/usr/bin/fennick-msi" tables "$pkg") || fail "installed fennick-msi tables failed"
[[ -n $got && $got == "$expected" ]] || fail "installed fennick-msi tables differs from the build's"
version=$(dpkg-deb -f "$deb" Version)
said=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/fennick" --version)
[[ $said == "fennick $version" ]] || fail "fennick --version says '$said', the package is $version"

# Manual pages render without a warning and carry their names.
for page in fennick fennick-msi; do
  file=$root/usr/share/man/man1/$page.1.gz
  [[ -f $file ]] || { fail "no manual page $page(1)"; continue; }
  # Blanks squeezed: justified lines may space out the NAME line.
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>"$work/man.err" | tr -s ' ') || fail "man -l $page failed"
  [[ -s $work/man.err ]] && fail "man -l $page warns: $(head -n3 "$work/man.err")"
  [[ $text == *NAME*"$page - "* ]] || fail "man -l $page shows no NAME section for $page"
done

# Desktop entry, icon, MIME type, completion.
desktop=$root/usr/share/applications/fennick.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects fennick.desktop"
else
  fail "desktop-file-validate missing (run scripts/setup.sh)"
fi
grep -qx 'MimeType=application/x-msi;' "$desktop" || fail "desktop entry does not open application/x-msi"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -f $root/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "icon $icon not in the hicolor theme"
python3 - "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" "$root/usr/share/mime/packages/fennick.xml" <<'PY' || fail "icon or MIME file is not the XML it should be"
import sys, xml.etree.ElementTree as ET
svg = ET.parse(sys.argv[1]).getroot()
assert svg.tag == '{http://www.w3.org/2000/svg}svg', svg.tag
ns = '{http://www.freedesktop.org/standards/shared-mime-info}'
types = {t.get('type'): [g.get('pattern') for g in t.findall(ns + 'glob')] for t in ET.parse(sys.argv[2]).getroot()}
assert '*.msi' in types.get('application/x-msi', []), types
PY
# A file manager offers Fennick for .msi files: with the package's desktop entry and MIME
# type in a scratch XDG_DATA_HOME and their caches made, xdg-mime names the entry.
if command -v xdg-mime >/dev/null && command -v update-mime-database >/dev/null &&
   command -v update-desktop-database >/dev/null; then
  xdg=$work/xdg-data
  mkdir -p "$xdg/applications" "$xdg/mime/packages"
  cp "$desktop" "$xdg/applications/"
  cp "$root/usr/share/mime/packages/fennick.xml" "$xdg/mime/packages/"
  update-mime-database "$xdg/mime" >/dev/null 2>&1 || fail "update-mime-database rejects fennick.xml"
  update-desktop-database "$xdg/applications" || fail "update-desktop-database rejects fennick.desktop"
  default=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_HOME="$xdg" XDG_CONFIG_HOME="$work/xdg-config" \
            XDG_DATA_DIRS="$xdg" xdg-mime query default application/x-msi 2>&1)
  echo "xdg-mime: default for application/x-msi: ${default:-none}"
  [[ $default == fennick.desktop ]] || fail "xdg-mime names '$default' for application/x-msi, not fennick.desktop"
else
  echo "xdg-mime: not checked: xdg-mime, update-mime-database or update-desktop-database missing (xdg-utils, shared-mime-info, desktop-file-utils)"
fi
for program in fennick fennick-msi; do
  completion=$root/usr/share/bash-completion/completions/$program
  bash -c "shopt -s extglob; source '$completion' && complete -p $program" >/dev/null 2>&1 ||
    fail "bash completion for $program does not load"
done
[[ -f $root/usr/share/doc/fennick/copyright ]] || fail "no copyright file"
exit $failed
