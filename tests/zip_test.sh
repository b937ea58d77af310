#!/usr/bin/env bash
# The Windows package: cpack in the windows build makes
# colortext-VERSION-win32.zip, which holds colortext.exe, README.md and
# LICENSE, the exe as it was built.
#   usage: zip_test.sh BUILD-DIR VERSION
set -uo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -rf "$build/packages"
(cd "$build" && cpack >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
zip=$build/packages/colortext-$version-win32.zip
[ -f "$zip" ] || { echo "FAIL: no $zip"; ls "$build/packages"; exit 1; }
contents=$(cmake -E tar tf "$zip" | sort | paste -sd' ' -)
[ "$contents" = "LICENSE README.md colortext.exe" ] || { echo "FAIL: the zip holds $contents"; exit 1; }
(cd "$work" && cmake -E tar xf "$zip") && cmp "$work/colortext.exe" "$build/colortext.exe" ||
    { echo "FAIL: the exe in the zip is not the one built"; exit 1; }
echo "$(basename "$zip"): $(wc -c <"$zip" | tr -d ' ') bytes, holding $contents"
echo "PASS"
