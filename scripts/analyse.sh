#!/usr/bin/env bash
# Static analysis of interpreter/, console/ and platform/: clang-tidy with
# the checks in .clang-tidy, then cppcheck with the suppressions (and their
# reasons) in .cppcheck-suppressions. Any finding fails.
set -uo pipefail
cd "$(dirname "$0")/.."

status=0
sources=$(git ls-files 'interpreter/*.cpp' 'console/*.cpp' 'platform/*.cpp')

echo "clang-tidy: $(echo $sources)"
for source in $sources; do
    flags=(-std=c++17 -I.)
    # The Windows backend needs the MinGW headers, so it is read as the exe
    # is built: for 32-bit Windows.
    [ "$source" = platform/windows.cpp ] && flags+=(--target=i686-w64-mingw32)
    clang-tidy --quiet "$source" -- "${flags[@]}" 2> >(grep -Ev '^[0-9]+ warnings? generated\.$' >&2) ||
        status=1
done

echo "cppcheck: interpreter/ console/ platform/"
cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
    --suppressions-list=.cppcheck-suppressions --error-exitcode=1 --quiet -I. \
    interpreter console platform || status=1

[ "$status" -eq 0 ] && echo "no findings"
exit "$status"
