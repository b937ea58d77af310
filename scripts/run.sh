#!/usr/bin/env bash
# Builds the native colortext for this machine's terminal into
# build/native/ and runs it with the arguments given, e.g.
#   scripts/run.sh /1F '" Hello "' 13 10
# With no arguments it shows a short sample.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

(
    cd "$root"
    scripts/ensure-packages.sh cmake make g++ >&2
    cmake --preset native >/dev/null
    cmake --build --preset native >/dev/null
)
if [ $# -eq 0 ]; then
    set -- /1F '" Hello "' /07 '" from colortext "' /0C '"in colour"' 13 10
fi
exec "$root/build/native/colortext" "$@"
