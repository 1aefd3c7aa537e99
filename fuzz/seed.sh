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
