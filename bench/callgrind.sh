#!/usr/bin/env bash
# Instructions per input byte of one whole run, for each kind of command
# line, counted by callgrind, which counts the same on a busy machine as on
# an idle one. Only RunCommandLine and what it calls is counted: building
# the command line and starting the process are not.
#   usage: bench/callgrind.sh [colortext_cost, default build/host/colortext_cost]
set -euo pipefail
cd "$(dirname "$0")/.."
cost=${1:-build/host/colortext_cost}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# At most this many instructions per byte, for the kinds that have a bound.
declare -A bound=([QuotedText]=12 [DecimalCodes]=25)

printf '%-16s %8s %6s %12s %10s\n' kind bytes calls instructions 'per byte'
for kind in $("$cost" --list); do
    read -r _ bytes calls < <(valgrind --tool=callgrind --callgrind-out-file="$out/$kind" \
        --toggle-collect='RunCommandLine*' "$cost" "$kind" 2>/dev/null)
    instructions=$(sed -n 's/^totals: *//p' "$out/$kind")
    per_byte=$(awk -v i="$instructions" -v b="$bytes" 'BEGIN { printf "%.2f", i / b }')
    note=""
    if [ -n "${bound[$kind]:-}" ]; then
        note="(at most ${bound[$kind]}: $(awk -v p="$per_byte" -v m="${bound[$kind]}" \
            'BEGIN { print (p <= m) ? "met" : "MISSED" }'))"
    fi
    printf '%-16s %8s %6s %12s %10s %s\n' "$kind" "$bytes" "$calls" "$instructions" "$per_byte" "$note"
done
