#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   host      unit tests on the simulated console
#   sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   colortext.exe, checked for its imports, flags and size, and
#             run end to end in Wine's console (installed here when missing)
# Warnings are errors here, and the sources must match .clang-format.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh cmake make g++ libgtest-dev g++-mingw-w64-i686 clang-format tmux || exit 1
# A missing Wine is not skipped: the end-to-end test then fails and says so.
scripts/ensure-wine.sh || echo "Wine could not be set up; the end-to-end test will fail"

passed=0
failed=0
status=0

echo "== format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror || status=1
for preset in host sanitize windows; do
    echo "== $preset"
    log="build/ctest-$preset.log"
    mkdir -p build
    if ! cmake --preset "$preset" -DCOLORTEXT_WERROR=ON >/dev/null ||
        ! cmake --build --preset "$preset" -j "$(nproc)"; then
        echo "$preset: build failed"
        status=1
        continue
    fi
    ctest --preset "$preset" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
    [ -n "$total" ] || { status=1; continue; }
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done

echo
echo "all presets: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit "$status"
