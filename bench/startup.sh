#!/usr/bin/env bash
# Start-up cost of the native colortext against /usr/bin/printf, each
# printing the same coloured line to a terminal (a pseudo-terminal that
# `script` provides, whose screen is thrown away). The two alternate, run
# after run, so that a noisy machine slows both alike; the figure is the
# median of the per-pair ratios colortext / printf. At most 1.0 means
# colortext starts no slower than printf.
#   usage: bench/startup.sh [runs]   (default 40 of each)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-40}
program=$PWD/build/native/colortext

if [ "${COLORTEXT_BENCH_INNER:-}" != 1 ]; then
    scripts/ensure-packages.sh cmake make g++ bsdutils >/dev/null
    cmake --preset native >/dev/null
    cmake --build --preset native >/dev/null
    result=$(mktemp)
    trap 'rm -f "$result"' EXIT
    COLORTEXT_BENCH_INNER=1 COLORTEXT_BENCH_RESULT=$result \
        script -qec "bash $0 $runs" /dev/null >/dev/null
    cat "$result"
    exit 0
fi

# Inside the pseudo-terminal: time each process from fork to exit.
times=""
for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    "$program" /1F '" Hello "' /07 '" world"' 13 10
    middle=$EPOCHREALTIME
    /usr/bin/printf '\033[97;44m Hello \033[0m world\r\n'
    end=$EPOCHREALTIME
    times+="$start $middle $end"$'\n'
done
printf '%s' "$times" | awk -v runs="$runs" '
    function median(a, n,   i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) {
            t = a[j]; a[j] = a[j - 1]; a[j - 1] = t
        }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { ours[NR] = $2 - $1; theirs[NR] = $3 - $2; ratio[NR] = ($2 - $1) / ($3 - $2) }
    END {
        printf "runs: %d of each, alternating\n", runs
        printf "colortext: median %.0f us\n", median(ours, NR) * 1e6
        printf "printf:    median %.0f us\n", median(theirs, NR) * 1e6
        printf "median ratio colortext/printf: %.2f (target: at most 1.00)\n", median(ratio, NR)
    }' >"$COLORTEXT_BENCH_RESULT"
