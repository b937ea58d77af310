#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   host      unit tests on the simulated console; the native program in
#             pipes, files, tmux and xterm.js; the manual page, the install
#             and the .deb and .tar.gz packages
#   sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   colortext.exe, checked for its imports, flags and size, and
#             run end to end in Wine's console (installed here when missing);
#             its zip
#   fuzz      the fuzz target (clang, libFuzzer) over its committed corpus,
#             then a fuzzing session of FUZZ_SECONDS (default 120)
# and the cost of a run per kind of command line: the benchmark's figures,
# printed, and callgrind's instructions per byte on every kind of console,
# judged against their bounds (bench/callgrind.sh).
# Warnings are errors here, the sources must match .clang-format, and
# clang-tidy and cppcheck must find nothing (scripts/analyse.sh).
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh cmake make g++ libgtest-dev g++-mingw-w64-i686 clang-format tmux \
    unicode-data python3 git nodejs || exit 1
# Debian's nodejs comes without npm, which is a package of its own there;
# some machines have a Node.js that carries its own.
command -v npm >/dev/null || scripts/ensure-packages.sh npm || exit 1
scripts/ensure-packages.sh clang libclang-rt-14-dev clang-tidy cppcheck libbenchmark-dev valgrind ||
    exit 1
# The manual page and the packages: lint, render, build and check them.
scripts/ensure-packages.sh mandoc man-db lintian dpkg-dev file || exit 1
# A missing Wine is not skipped: the end-to-end test then fails and says so.
scripts/ensure-wine.sh || echo "Wine could not be set up; the end-to-end test will fail"

passed=0
failed=0
skipped=0
status=0
# fail STEP: the run fails, and its last line says which steps did.
failures=()
fail() {
    status=1
    failures+=("$1")
}
mkdir -p build

echo "== format"
# The sources as they lie, build trees aside: no git needed.
find . \( -path ./build -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
    sort -z >build/format-files
if [ -s build/format-files ]; then
    xargs -0 clang-format --dry-run --Werror <build/format-files || fail format
else
    echo "format: no sources found"
    fail format
fi
echo "== analyse"
scripts/analyse.sh || fail analyse
for preset in host sanitize windows fuzz; do
    echo "== $preset"
    log="build/ctest-$preset.log"
    mkdir -p build
    if ! cmake --preset "$preset" -DCOLORTEXT_WERROR=ON >/dev/null ||
        ! cmake --build --preset "$preset" -j "$(nproc)"; then
        echo "$preset: build failed"
        fail "$preset build"
        continue
    fi
    ctest --preset "$preset" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "$preset"
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
    [ -n "$total" ] || {
        fail "$preset"
        continue
    }
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done

echo "== release"
# Counted as one test: skipped (77) in a tree that is not a git checkout.
tests/release_test.sh
case $? in
0) passed=$((passed + 1)) ;;
77) skipped=$((skipped + 1)) ;;
*)
    failed=$((failed + 1))
    fail release
    ;;
esac

echo "== fuzz session"
scripts/fuzz.sh "${FUZZ_SECONDS:-120}" || fail "fuzz session"

echo "== cost per run"
build/host/colortext_bench --benchmark_min_time=0.1 || fail benchmark
bench/callgrind.sh build/host/colortext_cost || fail "cost check"

echo
echo "total: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] || status=1
[ ${#failures[@]} -eq 0 ] || echo "failed steps: ${failures[*]}"
exit "$status"
