#!/bin/sh
# Instructions per operation of each benchmark, counted by callgrind.
#
#   bench/icount.sh BENCH_BINARY [FILTER] [FUNCTION...]
#
# The benchmark program collects instructions only inside each operation (see
# measure.hpp) and dumps them at the end of every run of a benchmark; the last
# (longest) run of each benchmark gives its figure: collected instructions /
# iterations. Each FUNCTION named (a symbol as callgrind shows it, e.g.
# ZEP_MNG_SendMsg) adds a column: its inclusive instructions per operation.
set -eu
bin=$1
filter=${2:-.}
shift $(( $# >= 2 ? 2 : 1 ))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/cg" \
    "$bin" --benchmark_filter="$filter" --benchmark_min_time=0.1 >/dev/null 2>"$out/log" || {
    cat "$out/log" >&2
    exit 1
}

# Keep the last dump of each benchmark: later runs have more iterations.
for dump in $(cd "$out" && ls cg.* | sort -t. -k2 -n); do
    dump=$out/$dump
    name=$(sed -n 's/^desc: Trigger: Client Request: //p' "$dump")
    [ -n "$name" ] && echo "${name% *} $dump"
done | awk '{ last[$1] = $2; if (!($1 in order)) order[$1] = NR } END { for (n in last) print order[n], n, last[n] }' |
    sort -n | while read -r _ name dump; do
    iterations=$(sed -n 's/^desc: Trigger: Client Request: .* //p' "$dump")
    total=$(sed -n 's/^totals: \([0-9]*\).*/\1/p' "$dump")
    line=$(printf '%-36s %10d iterations %12.1f Ir/op' "$name" "$iterations" \
        "$(echo "$total / $iterations" | bc -l)")
    for fn in "$@"; do
        # Inclusive cost of fn, summed over the objects that name it.
        incl=$(callgrind_annotate --inclusive=yes --threshold=100 "$dump" 2>/dev/null |
            awk -v fn="$fn" '{ gsub(",", "", $1) }
                $0 ~ "[ :]" fn "( |\\[|$)" { s += $1 } END { print s + 0 }')
        [ "$incl" -gt 0 ] || continue
        line="$line  $(printf '%s %.1f' "$fn" "$(echo "$incl / $iterations" | bc -l)")"
    done
    echo "$line"
done
