#!/usr/bin/env bash
# Instructions per input byte of one whole run, for each kind of command
# line on each kind of console, counted by callgrind, which counts the same
# on a busy machine as on an idle one. Only RunCommandLine and what it calls
# is counted, and not the simulated console under it: building the command
# line, starting the process and the console's own work are left out.
# Judged, so that a change that makes a byte cost more fails:
#   - every kind on every console at most its bound in the table below:
#     what it cost, plus a tenth, when the writer's paths were made one.
#     Two were raised when in-band runs came to let their wraps happen in
#     the output's own colours, which costs a few instructions a byte more:
#     colour switches in virtual-terminal mode (to 65) and tabs after
#     accented text on a UTF-8 console in virtual-terminal mode (to 73.5).
#     Those over their bound were raised again, to what they cost plus a
#     tenth, when every run came to keep what it leaves of a character for
#     the next, and a UTF-8 console in virtual-terminal mode to measure its
#     text a character at a time: there East Asian and accented text cost
#     three times what they did (each character's cells are bounded, and
#     the cursor asked for before any that may reach the buffer's last
#     cell), and a colour switch some 60 instructions a run more;
#   - every kind at 32,767 bytes at most 1.1 times itself at 1 KB, so that
#     the cost of a byte does not grow with the command line.
# Prints the whole table either way; a figure that cannot be read, or that
# has no bound, fails.
#   usage: bench/callgrind.sh [colortext_cost, default build/host/colortext_cost]
set -uo pipefail
cd "$(dirname "$0")/.."
cost=${1:-build/host/colortext_cost}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

bounds="
kind              legacy utf8-host utf8-wine    vt utf8-host-vt pseudo-console
QuotedText          24.2      24.2      24.2  27.5         27.5           27.5
DecimalCodes        20.9      20.9      20.9  22.0         22.0           22.0
Repeats            183.1     183.1     183.1 226.8        226.8          226.8
Tabs               127.8     127.8     127.8 171.5        171.5          171.5
ColourSwitches      76.1      76.1      76.1  73.2         73.2           73.2
ControlCodes        28.2      28.2      28.2  49.2         49.2           49.2
EastAsianText       31.9      30.5      29.0  35.2        114.7          114.7
TabTable            46.0      46.0      46.0  60.3         60.3           60.3
AccentedTabTable    46.6      72.2      72.2  65.4        133.2          133.2
"
long=32767
short=1024

kinds=$("$cost" --kinds) && consoles=$("$cost" --consoles) || { echo "FAIL: $cost lists nothing"; exit 1; }
status=0
declare -A figure bound

# The table's bounds, by kind and console.
read -ra columns <<<"$(echo "$bounds" | sed -n 2p)"
while read -ra row; do
    for ((i = 1; i < ${#row[@]}; ++i)); do bound[${row[0]}.${columns[i]}]=${row[i]}; done
done < <(echo "$bounds" | sed -n '3,$p')

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
        b=${bound[$kind.$console]:-}
        note=""
        if [ -z "$f" ] || [ -z "$s" ]; then
            note="UNREAD"
        elif [ -z "$b" ]; then
            note="UNBOUND"
        else
            ! at_most "$f" "$b" && note+="!>$b"
            ! at_most "$f" "$(awk -v x="$s" 'BEGIN { print 1.1 * x }')" && note+="!>1.1x1K"
        fi
        [ -n "$note" ] && status=1
        printf ' %22s' "${f:-?} (${s:-?})${note:+ $note}"
    done
    printf '\n'
done
echo "bounds: every kind on every console at most its bound; 32 KB at most 1.1x 1 KB"
if [ "$status" -eq 0 ]; then echo "PASS: every figure within its bound"; else echo "FAIL: a figure over its bound (marked !), unread or unbound"; fi
exit "$status"
