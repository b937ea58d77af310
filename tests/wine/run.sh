#!/usr/bin/env bash
# Runs the end-to-end cases of driver.exe against colortext.exe in Wine's
# console. Wine's console host needs a terminal, so the driver runs in a
# detached tmux session; it writes its report to a file, printed here.
# The Wine prefix is made once, under the build folder, and reused.
# With --pictures the driver dumps the README's scenes into FOLDER instead.
#   usage: run.sh colortext.exe driver.exe [NAME-FILTER | --pictures FOLDER]
# scripts/ensure-wine.sh installs what this needs.
set -uo pipefail
exe=$(realpath "$1")
driver=$(realpath "$2")
filter=${3:-}
pictures=
if [ "$filter" = --pictures ]; then
    pictures=$(realpath "$4")
    filter=
fi
build=$(dirname "$exe")
started=$(date +%s)

fail() {
    echo "FAIL: $*"
    exit 1
}
command -v wine >/dev/null && command -v tmux >/dev/null ||
    fail "Wine or tmux is missing: run scripts/ensure-wine.sh as root"
/lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
    fail "this machine cannot run Wine's 32-bit half: run scripts/ensure-wine.sh as root"

export WINEDEBUG=-all WINEPREFIX=$build/wine-prefix
socket="colortext-wine-$$"
report=$build/wine-report.txt
[ -z "$pictures" ] || report=$build/wine-pictures.txt
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null
    wineserver -k 2>/dev/null
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making the Wine prefix $WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
    # A crash must end the process, not start a debugger in the console.
    # Under qemu-i386 Wine misreads CPU faults (an access violation comes
    # back as an illegal instruction, 0xC000001D), so a crash shows as some
    # exit code other than 0 rather than as 0xC0000005.
    key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
    for loader in /usr/lib/wine/wine64 wine; do
        "$loader" reg add "$key" /v Debugger /d 'C:\no-debugger.exe' /f >/dev/null 2>&1
    done
    wineserver -w
fi
drive=$WINEPREFIX/drive_c
mkdir -p "$drive/ct" "$drive/dir with spaces"
cp "$exe" "$drive/ct/colortext.exe"
cp "$exe" "$drive/dir with spaces/colortext.exe"
cp "$driver" "$drive/ct/driver.exe"
rm -f "$report"

# Z: is the root of the Linux file system.
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
arguments="'$(windows_path "$report")' '$filter'"
[ -z "$pictures" ] || arguments="'$(windows_path "$report")' --pictures '$(windows_path "$pictures")'"
tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 25 \
    -e WINEPREFIX="$WINEPREFIX" -e WINEDEBUG=-all \
    "wine 'C:\\ct\\driver.exe' $arguments"
for _ in $(seq 300); do
    tmux -L "$socket" has-session 2>/dev/null || break
    sleep 1
done
tmux -L "$socket" has-session 2>/dev/null && fail "the driver did not finish in 300 s"

[ -f "$report" ] || fail "the driver wrote no report"
# Written by a Windows program: lines end in CR LF.
tr -d '\r' <"$report" >"$report.txt" && mv "$report.txt" "$report"
cat "$report"
echo "end to end on Wine: $(($(date +%s) - started)) s in all, the prefix included"
if [ -n "$pictures" ]; then
    grep -Eq '^pictures: [0-9]+ written, 0 failed$' "$report" || fail "see the report above"
    exit 0
fi
grep -Eq '^wine console: [0-9]+ passed, 0 failed$' "$report" || fail "see the report above"
echo "PASS"
