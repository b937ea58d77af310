#!/usr/bin/env bash
# A bounded fuzzing session: the whole program on the simulated console,
# started from the committed corpus with the dictionary. New inputs go to
# build/fuzz/corpus/ (the committed corpus is only read), a failing input to
# build/fuzz/found/; the full log is build/fuzz/session.log.
#   usage: scripts/fuzz.sh [seconds, default 120]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || exit 1
mkdir -p build/fuzz/corpus build/fuzz/found
log=build/fuzz/session.log

# Inputs up to 8 KB: long enough to fill the writer's storage twice over.
build/fuzz/colortext_fuzz -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -dict=fuzz/colortext.dict -artifact_prefix=build/fuzz/found/ -print_final_stats=1 \
    build/fuzz/corpus fuzz/corpus >"$log" 2>&1
status=$?

grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
if [ "$status" -ne 0 ]; then
    echo "fuzzing failed (exit $status); the end of $log:"
    tail -n 40 "$log"
    ls build/fuzz/found/
fi
exit "$status"
