#!/usr/bin/env bash
# Fills fuzz/corpus/<name>/ with seed inputs taken from the fixture packages.
# Usage: fuzz/seed.sh [FIXTURES_DIR]   (default: ../shared/fixtures beside the checkout)
# The corpus is derived from the fixtures, which stay outside the project: do not commit it.
set -euo pipefail
cd "$(dirname "$0")"
fixtures=${1:-${FENNICK_FIXTURES:-../../shared/fixtures}}
if [[ ! -d $fixtures ]]; then
  echo "seed: fixtures folder $fixtures not found" >&2
  exit 1
fi

# cfb: whole compound files (packages, merge modules, transforms, the corrupt one too).
# Large packages slow every run down, so only files up to 512 KB go in.
mkdir -p corpus/cfb
find "$fixtures" -type f \( -name '*.msi' -o -name '*.msm' -o -name '*.mst' \) -size -512k -print0 |
  while IFS= read -r -d '' f; do
    install -m 644 "$f" "corpus/cfb/$(sha1sum "$f" | cut -c1-16)"
  done
echo "seed: $(ls corpus/cfb | wc -l) inputs in fuzz/corpus/cfb"

# db: the same packages, opened as databases.
mkdir -p corpus/db
cp -n corpus/cfb/* corpus/db/
echo "seed: $(ls corpus/db | wc -l) inputs in fuzz/corpus/db"

# mst: the fixtures' transforms, each behind an odd first byte (mst_fuzz reads it as "a whole
# compound file follows").
mkdir -p corpus/mst
find "$fixtures" -type f -name '*.mst' -size -512k -print0 |
  while IFS= read -r -d '' f; do
    { printf '\x01'; cat "$f"; } >"corpus/mst/$(sha1sum "$f" | cut -c1-16)"
  done
echo "seed: $(ls corpus/mst | wc -l) inputs in fuzz/corpus/mst"

# sql: every query text the engine, the tool and the query tests spell out.
mkdir -p corpus/sql
grep -rhoE "\"(SELECT|INSERT|UPDATE|DELETE|CREATE|ALTER|DROP) [^\"]*\"" ../engine ../src ../tests/sql |
  sed 's/^"//; s/"$//' | sort -u | while IFS= read -r query; do
    printf '%s' "$query" >"corpus/sql/$(printf '%s' "$query" | sha1sum | cut -c1-16)"
  done
echo "seed: $(ls corpus/sql | wc -l) inputs in fuzz/corpus/sql"

# condition: the conditions of the hand-written corpus (the text after the expected result).
mkdir -p corpus/condition
grep -v '^#' ../tests/session/conditions.txt | grep $'\t' | cut -f2- | while IFS= read -r condition; do
  printf '%s' "$condition" >"corpus/condition/$(printf '%s' "$condition" | sha1sum | cut -c1-16)"
done
echo "seed: $(ls corpus/condition | wc -l) inputs in fuzz/corpus/condition"

# idt: the table archives of a few small packages, as msidump writes them. An archive with a
# binary column gets, after a NUL byte, the head of its first cell's stream: idt_fuzz writes
# that as the content of the cell files the rows name.
if command -v msidump >/dev/null && command -v msiinfo >/dev/null; then
  mkdir -p corpus/idt
  dump=$(mktemp -d)
  trap 'rm -rf "$dump"' EXIT
  for pkg in ui-wix3-installdir-tricky/ui.msi noui-wix311-nofeature-jsign/minimal.msi \
             odd-wix3-testdata/he-il-codepage1255.msi; do
    [[ -f $fixtures/$pkg ]] || continue
    pkg=$(realpath "$fixtures/$pkg")
    rm -rf "${dump:?}"/*
    # msidump writes binary cells into a folder under the current one, whatever -d says.
    (cd "$dump" && msidump -t -d . "$pkg" >/dev/null)
    for idt in "$dump"/*.idt; do
      [[ $(stat -c %s "$idt") -le 32768 ]] || continue
      # The stream of the first row's first binary cell ("Table.Key"), if the table has one.
      stream=$(awk -F'\t' 'NR == 2 { for (i = 1; i <= NF; i++) if ($i ~ /^[vV]/) { c = i; break } }
                           NR == 4 && c { sub(/\r$/, "", $c); print $c; exit }' "$idt")
      seed=$dump/seed
      cp "$idt" "$seed"
      if [[ -n $stream ]]; then
        printf '\0' >>"$seed"
        { msiinfo extract "$pkg" "$stream" 2>/dev/null || true; } | head -c 1024 >>"$seed"
      fi
      install -m 644 "$seed" "corpus/idt/$(sha1sum "$seed" | cut -c1-16)"
    done
  done
  echo "seed: $(ls corpus/idt | wc -l) inputs in fuzz/corpus/idt"
else
  echo "seed: msidump or msiinfo not found: no inputs for fuzz/corpus/idt" >&2
fi

# machine_file: the machine file of the README, and a registry export (UTF-16, as the registry
# editor writes it) behind a NUL for its `registry` line.
mkdir -p corpus/machine_file
awk '/^    # The build agent/ { on = 1 } on && /^    "Build"=dword/ { print substr($0, 5); exit } on { print substr($0, 5) }' \
  ../README.md >corpus/machine_file/readme
{
  printf 'machine win10-x86\nfile C:\\a\\b.exe version 1.2 size 9 language 1033,0\nregistry x.reg\n\0'
  printf '\xff\xfe'
  printf 'Windows Registry Editor Version 5.00\r\n[HKEY_CLASSES_ROOT\\CLSID\\{1}]\r\n@="x"\r\n"m"=hex(7):61,00,00,00,\\\r\n  00,00\r\n"d"=dword:0000002a\r\n[-HKEY_CURRENT_USER\\Software]\r\n' |
    iconv -f UTF-8 -t UTF-16LE
} >corpus/machine_file/exported
echo "seed: $(ls corpus/machine_file | wc -l) inputs in fuzz/corpus/machine_file"
