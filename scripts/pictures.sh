#!/usr/bin/env bash
# Makes the README's pictures from real runs, as SVG in docs/:
#   docs/console-examples.svg   colortext.exe in Wine's console, its cells
#                               read back by tests/wine/driver.cpp
#   docs/terminal-examples.svg  the native colortext under sh in tmux, read
#                               back with capture-pane -e
# both drawn by tools/svg_picture.cpp with the console's 16 colours.
# With --check it draws them afresh elsewhere and fails if a committed
# picture differs. Needs the host and windows presets' tools and Wine
# (scripts/ensure-wine.sh).
#   usage: scripts/pictures.sh [--check]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# The pictures show colour whatever the environment asks for.
unset NO_COLOR FORCE_COLOR CLICOLOR_FORCE

check=
[ "${1:-}" = --check ] && check=1
out=docs
work=$(mktemp -d)
socket="colortext-pictures-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null; rm -rf "$work"' EXIT
[ -n "$check" ] && out=$work/fresh
mkdir -p "$out" "$work/cells"

{
    cmake --preset host && cmake --build --preset host -j2 --target colortext colortext_picture &&
        cmake --preset windows && cmake --build --preset windows -j2
} >"$work/build.log" 2>&1 || { cat "$work/build.log"; echo "pictures: the build failed"; exit 1; }
picture=build/host/colortext_picture

# The native examples: each command typed after a "$ " prompt, run by sh.
cat >"$work/terminal.sh" <<'SCRIPT'
for command in \
    "colortext /0C '\"ERROR:\"' /07 '\" the build failed\"' 10" \
    "colortext '/1F 61*34 10 \"  Nightly build: all tests green  \" 10 61*34 10'" \
    "colortext '\"core\" 9 /0A \"ok\" 10 /07 \"ui\" 9 /0C \"failed\" 10'"; do
    printf '$ %s\n' "$command"
    eval "$command"
done
printf '$ '
: >"$1"
sleep 60
SCRIPT
PATH="$root/build/host:$PATH" TERM=xterm-256color \
    tmux -L "$socket" -f /dev/null new-session -d -x 90 -y 20 "sh $work/terminal.sh $work/done"
for _ in $(seq 100); do
    [ -e "$work/done" ] && break
    sleep 0.1
done
# -N keeps the blanks at the ends of the rows, coloured ones among them.
screen=$(tmux -L "$socket" capture-pane -e -p -N -t 0 2>/dev/null)
tmux -L "$socket" kill-server 2>/dev/null
[ -e "$work/done" ] || { echo "pictures: the terminal examples did not finish"; exit 1; }
printf '%s\n' "$screen" | "$picture" --ansi 90 >"$out/terminal-examples.svg" || exit 1

# The Windows examples, in Wine's console.
bash tests/wine/run.sh build/windows/colortext.exe build/windows/colortext_wine_driver.exe \
    --pictures "$work/cells" >"$work/wine.log" 2>&1 || { cat "$work/wine.log"; exit 1; }
"$picture" --cells <"$work/cells/console-examples.cells" >"$out/console-examples.svg" || exit 1

if [ -z "$check" ]; then
    echo "pictures: $(ls docs/*.svg | tr '\n' ' ')"
    exit 0
fi
status=0
for fresh in "$out"/*.svg; do
    committed=docs/$(basename "$fresh")
    if cmp -s "$fresh" "$committed"; then
        echo "ok: $committed is what a fresh run draws"
    else
        echo "FAIL: $committed differs from a fresh run (scripts/pictures.sh redraws it)"
        diff "$committed" "$fresh" | head -n 20
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
