#!/usr/bin/env bash
# A bounded fuzzing session of the three targets, each started from its
# committed corpus (and what earlier sessions found) with the dictionary:
#   colortext_fuzz        command lines that make little text, held against
#                         the model on a legacy console, one of today's
#                         consoles, and a file or a terminal
#   colortext_fuzz_long   command lines whose repeats make far more text
#   colortext_fuzz_posix  argv rebuilt into the POSIX command line
# They share the time 75 : 15 : 10. New inputs go to build/fuzz/corpus*/
# (the committed corpora are only read), a failing input to
# build/fuzz/found/, replayed with e.g. `build/fuzz/colortext_fuzz FILE`;
# the full logs are build/fuzz/*.log.
#   usage: scripts/fuzz.sh [seconds, default 120]
# CI runs the two minutes. A long session, an hour say, goes on from what
# the earlier ones found, so it can be run in steps:
#   scripts/fuzz.sh 3600
# On a machine with cores to spare, run a target in parallel instead, e.g.
#   build/fuzz/colortext_fuzz -fork=4 -max_total_time=3600 -max_len=8192 \
#       -dict=fuzz/colortext.dict build/fuzz/corpus-colortext_fuzz fuzz/corpus
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || exit 1
mkdir -p build/fuzz/found
status=0
# The program allocates nothing, so freed memory need not be held back long
# to catch a use after free, nor new memory filled: both cost page faults
# that took a good part of each run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:max_malloc_fill_size=0}

# session TARGET SECONDS CORPUS...: inputs up to 8 KB, long enough to fill
# the writer's storage twice over, or to reach the 32,767-character limit.
session() {
    local target=$1 time=$2 log=build/fuzz/$1.log
    shift 2
    mkdir -p "build/fuzz/corpus-$target"
    echo "== $target, $time s"
    build/fuzz/$target -max_total_time="$time" -max_len=8192 -timeout=10 \
        -dict=fuzz/colortext.dict -artifact_prefix=build/fuzz/found/ -print_final_stats=1 \
        "build/fuzz/corpus-$target" "$@" >"$log" 2>&1
    local result=$?
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
    if [ "$result" -ne 0 ]; then
        echo "$target failed (exit $result); the end of $log:"
        tail -n 40 "$log"
        ls build/fuzz/found/
        status=1
    fi
}

session colortext_fuzz $((seconds * 75 / 100)) fuzz/corpus
session colortext_fuzz_long $((seconds * 15 / 100)) fuzz/corpus
session colortext_fuzz_posix $((seconds * 10 / 100)) fuzz/posix_corpus
exit "$status"
