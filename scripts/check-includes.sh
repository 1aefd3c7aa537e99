#!/usr/bin/env bash
# Checks that includes follow the layers of the code: a module may include its own headers
# and those of the modules below it, never those beside or above it.
#
#   {base, text} < cfb < db < {sql, idt, mst, session} < dialogs < qt < {src, tools}
#
# Within the tool, only its engine backend (src/installer) reaches the dialog engine and its
# Qt renderer: the rest of src/ answers dialogs through the backend's dialog host.
#
# Usage: scripts/check-includes.sh [ROOT]   (ROOT defaults to the checkout)
# Prints each offending line as FILE:LINE: "<include>" and exits 1 when there is one.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

modules=(engine/base engine/text engine/cfb engine/db engine/sql engine/idt engine/mst engine/session engine/dialogs engine/qt src tools)
present=()
for m in "${modules[@]}"; do [[ -d $m ]] && present+=("$m"); done
((${#present[@]})) || { echo "no modules under $root"; exit 1; }

grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "${present[@]}" --include='*.h' --include='*.cpp' |
  awk '
    function level(m) {
      if (m == "engine/base" || m == "engine/text") return 0
      if (m == "engine/cfb") return 1
      if (m == "engine/db") return 2
      if (m == "engine/sql" || m == "engine/idt" || m == "engine/mst" || m == "engine/session") return 3
      if (m == "engine/dialogs") return 4
      if (m == "engine/qt") return 5
      if (m == "src" || m == "tools") return 6
      return -1
    }
    function moduleOf(path,   parts, n) {
      n = split(path, parts, "/")
      if (parts[1] == "engine" && n >= 3) return parts[1] "/" parts[2]
      return parts[1]
    }
    {
      split($0, f, ":")
      file = f[1]; line = f[2]
      match($0, /#[[:space:]]*include[[:space:]]+"[^"]+"/)
      inc = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", inc); sub(/"$/, "", inc)
      own = moduleOf(file); theirs = moduleOf(inc)
      if (own == "src" && (theirs == "engine/dialogs" || theirs == "engine/qt") && file !~ /^src\/installer\//) {
        printf "%s:%s: \"%s\": only src/installer may include %s\n", file, line, inc, theirs
        bad = 1
        next
      }
      if (level(theirs) < 0 || theirs == own) next
      if (level(theirs) >= level(own)) {
        printf "%s:%s: \"%s\": %s may not include %s\n", file, line, inc, own, theirs
        bad = 1
      }
    }
    END {
      if (bad) exit 1
      print "includes follow the layers"
    }'
