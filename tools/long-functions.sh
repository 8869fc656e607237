#!/bin/sh
# Lists the functions defined under the given folders (the repository's src/
# by default) that are longer than LIMIT lines (60 unless set), longest first,
# as "file:line: name, N lines", and exits 1 when there is one.
# A function's length runs from its first line to its closing brace, so the
# count is what a reader scrolls through. universal-ctags does the parsing: it
# needs no build and takes well under a second over the whole tree.
set -eu
limit=${LIMIT:-60}
[ $# -gt 0 ] || { cd "$(dirname "$0")/.." && set -- src; }
command -v ctags-universal >/dev/null || { echo "$0: needs universal-ctags (make deps-shape)" >&2; exit 2; }

long=$(ctags-universal -R --languages=C,C++ --kinds-C=f --kinds-C++=f --fields=+ne -x \
  --_xformat='%{line}	%{end}	%{input}	%{scope}	%{name}' "$@" |
awk -F'\t' -v limit="$limit" '
  {
    lines = $2 - $1 + 1
    if (lines <= limit) next
    # Anonymous namespaces show as generated names; a reader knows the file.
    scope = $4; gsub(/(::)?__anon[0-9a-f]+/, "", scope); sub(/^::/, "", scope)
    printf "%d\t%s:%d: %s%s, %d lines\n", lines, $3, $1, (scope == "" ? "" : scope "::"), $5, lines
  }' | sort -t'	' -k1,1nr | cut -f2-)
[ -z "$long" ] || { echo "$long"; exit 1; }
