#!/usr/bin/env bash
# Instructions per input byte of one whole run, for each kind of command
# line on each kind of console, counted by callgrind, which counts the same
# on a busy machine as on an idle one. Only RunCommandLine and what it calls
# is counted, and not the simulated console under it: building the command
# line, starting the process and the console's own work are left out.
# Judged, so that a change that makes a byte cost more fails:
#   - the first six kinds at most what they cost before the writer was
#     rebuilt (bound below), on every console;
#   - text in UTF-8 at most 1.5 times the same kind in ASCII, on the same
#     console: EastAsianText against QuotedText, AccentedTabTable against
#     TabTable;
#   - every kind at 32,767 bytes at most 1.1 times itself at 1 KB, so that
#     the cost of a byte does not grow with the command line.
# Prints the whole table either way; a figure that cannot be read fails.
#   usage: bench/callgrind.sh [colortext_cost, default build/host/colortext_cost]
set -uo pipefail
cd "$(dirname "$0")/.."
cost=${1:-build/host/colortext_cost}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

declare -A bound=([QuotedText]=11.64 [DecimalCodes]=17.21 [Repeats]=28.47 [Tabs]=50.08
    [ColourSwitches]=32.82 [ControlCodes]=25.66)
declare -A ascii=([EastAsianText]=QuotedText [AccentedTabTable]=TabTable)
long=32767
short=1024

kinds=$("$cost" --kinds) && consoles=$("$cost" --consoles) || { echo "FAIL: $cost lists nothing"; exit 1; }
status=0
declare -A figure

# The instructions per byte of one run, or nothing when it cannot be read.
measure() {
    local kind=$1 console=$2 length=$3 file="$out/$1.$2.$3"
    valgrind --tool=callgrind --callgrind-out-file="$file.cg" --toggle-collect='RunCommandLine*' \
        --toggle-collect='platform::*' "$cost" "$kind" "$console" "$length" >"$file.out" 2>/dev/null ||
        return
    local bytes instructions
    read -r bytes _ <"$file.out"
    instructions=$(sed -n 's/^totals: *//p' "$file.cg")
    [ -n "$bytes" ] && [ -n "$instructions" ] || return
    awk -v i="$instructions" -v b="$bytes" 'BEGIN { printf "%.2f", i / b }'
}

at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }

for console in $consoles; do
    for kind in $kinds; do
        for length in $long $short; do
            figure[$kind.$console.$length]=$(measure "$kind" "$console" "$length")
        done
    done
done

printf 'instructions per input byte at %d bytes (and at %d), by console\n' "$long" "$short"
printf '%-17s' kind
for console in $consoles; do printf ' %22s' "$console"; done
printf '\n'
for kind in $kinds; do
    printf '%-17s' "$kind"
    for console in $consoles; do
        f=${figure[$kind.$console.$long]} s=${figure[$kind.$console.$short]}
        note=""
        if [ -z "$f" ] || [ -z "$s" ]; then
            note="UNREAD"
        else
            [ -n "${bound[$kind]:-}" ] && ! at_most "$f" "${bound[$kind]}" && note+="!>${bound[$kind]}"
            a=${ascii[$kind]:-}
            [ -n "$a" ] && ! at_most "$f" "$(awk -v x="${figure[$a.$console.$long]}" 'BEGIN { print 1.5 * x }')" &&
                note+="!>1.5x"
            ! at_most "$f" "$(awk -v x="$s" 'BEGIN { print 1.1 * x }')" && note+="!>1.1x1K"
        fi
        [ -n "$note" ] && status=1
        printf ' %22s' "${f:-?} (${s:-?})${note:+ $note}"
    done
    printf '\n'
done
echo "bounds: ${!bound[*]} at most their figures before the rebuild;" \
    "UTF-8 text at most 1.5x its ASCII kind; 32 KB at most 1.1x 1 KB"
if [ "$status" -eq 0 ]; then echo "PASS: every figure within its bound"; else echo "FAIL: a figure missed its bound (marked !)"; fi
exit "$status"
