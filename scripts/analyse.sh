#!/usr/bin/env bash
# Static analysis of the program's sources: clang-tidy with the checks in
# .clang-tidy, then cppcheck with the suppressions (and their reasons) in
# .cppcheck-suppressions. Any finding fails, and so does an empty list of
# files: an analysis of nothing finds nothing.
#   usage: scripts/analyse.sh [FILE.cpp...]   (default: interpreter/,
#          console/ and platform/)
set -uo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
    sources=("$@")
else
    mapfile -t sources < <(find interpreter console platform -name '*.cpp' 2>/dev/null | sort)
fi
if [ ${#sources[@]} -eq 0 ]; then
    echo "analyse: no files to analyse"
    exit 1
fi

# CMake passes the project's version to the usage sources; any will do here.
version='-DCOLORTEXT_VERSION="0.0.0"'
status=0
echo "clang-tidy: ${sources[*]}"
for source in "${sources[@]}"; do
    [ -f "$source" ] || { echo "analyse: no such file: $source"; status=1; continue; }
    flags=(-std=c++17 -I. "$version")
    # The Windows backend needs the MinGW headers, so it is read as the exe
    # is built: for 32-bit Windows.
    [ "$source" = platform/windows.cpp ] && flags+=(--target=i686-w64-mingw32)
    clang-tidy --quiet "$source" -- "${flags[@]}" 2> >(grep -Ev '^[0-9]+ warnings? generated\.$' >&2) ||
        status=1
done

echo "cppcheck: ${sources[*]}"
cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
    --suppressions-list=.cppcheck-suppressions --error-exitcode=1 --quiet -I. "$version" \
    "${sources[@]}" || status=1

[ "$status" -eq 0 ] && echo "no findings"
exit "$status"
