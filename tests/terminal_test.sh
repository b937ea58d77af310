#!/usr/bin/env bash
# The native colortext in a real terminal: tmux runs it in a detached
# session, and the screen it leaves is read back with its colours
# (capture-pane -e, in which tmux spells out every change of colour).
# Each case ends by printing "after", which must show in the terminal's own
# colours: colortext never leaves the terminal coloured.
#   usage: terminal_test.sh path/to/colortext
set -uo pipefail
program=$1
command -v tmux >/dev/null || { echo "FAIL: tmux is not installed"; exit 1; }

work=$(mktemp -d)
cases=0
trap 'rm -rf "$work"' EXIT
status=0

# run_case NAME ARGUMENTS EXPECTED [VARIABLES]: ARGUMENTS as a shell would
# be given them; EXPECTED is the screen, with \e for ESC and \n between
# rows; VARIABLES are the only ones of those that choose colours set.
run_case() {
    local name=$1 arguments=$2 expected variables=${4:-}
    expected=$(printf '%b' "$3")
    cases=$((cases + 1))
    # A server of its own for each case, on a socket of its own.
    local socket="colortext-test-$$-$cases" script="$work/case$cases.sh"
    printf 'unset NO_COLOR FORCE_COLOR CLICOLOR_FORCE\n%s %s %s\nprintf after\nsleep 60\n' \
        "$variables" "$program" "$arguments" >"$script"
    TERM=xterm-256color tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 10 "sh $script"
    local screen="" tries
    for tries in $(seq 50); do
        screen=$(tmux -L "$socket" capture-pane -e -p -t 0 2>/dev/null | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}')
        case "$screen" in *after*) break ;; esac
        sleep 0.1
    done
    tmux -L "$socket" kill-server 2>/dev/null
    if [ "$screen" = "$expected" ]; then
        echo "ok: $name"
    else
        echo "FAIL: $name"
        echo "  expected: $(printf '%s' "$expected" | od -c | head -20)"
        echo "  screen:   $(printf '%s' "$screen" | od -c | head -20)"
        status=1
    fi
}

run_case "road" \
    "/1F '\"Hello\"' 13 10" \
    '\e[97m\e[44mHello\n\e[39m\e[49mafter'
run_case "quotes, controls, repeat and tab" \
    "/1F '\"Hello, \"\"world\"\"\"' 13 10 45*5 /7 9'\"x\"' 13 10" \
    '\e[97m\e[44mHello, "world"\n-----\e[39m\e[49m   x\nafter'
run_case "foreground on the terminal's background" \
    "/0C '\"ERROR:\"' /07 '\" disk full\"' 13 10" \
    '\e[91mERROR:\e[39m disk full\nafter'
run_case "tab table" \
    "'\"core\"' 9 /0A '\"ok\"' 13 10 '\"ui\"' 9 /0C '\"failed\"' 13 10" \
    'core    \e[92mok\nui      \e[91mfailed\n\e[39mafter'
# A first column whose names take fewer columns than bytes: café (5 bytes,
# 4 columns), 東京 and 서울 (6 bytes, 2 wide characters), naïve with a
# combining diaeresis (7 bytes, 5 columns). Every status starts in column 8.
diaeresis=$'\xcc\x88'
run_case "tab table with wide and accented names" \
    "'\"café\"' 9 /0A '\"ok\"' 13 10 /07 '\"東京\"' 9 /0C '\"failed\"' 13 10 \
/07 '\"nai${diaeresis}ve\"' 9 /0A '\"ok\"' 13 10 /0E '\"서울\"' 9 /0A '\"ok\"' 13 10" \
    "café    \\e[92mok\\n\\e[39m東京    \\e[91mfailed\\n\\e[39mnai${diaeresis}ve   \\e[92mok\\n\\e[93m\
서울    \\e[92mok\\n\\e[39mafter"
run_case "background only, then a run stopped mid-line" \
    "/E0 '\" warn \"' /07 '\"!\"' /4F '\"bold\"'" \
    '\e[30m\e[103m warn \e[39m\e[49m!\e[97m\e[41mbold\e[39m\e[49mafter'
# NO_COLOR: the terminal's own colours; the other two change nothing here.
disk_full="/0C '\"ERROR:\"' /07 '\" disk full\"' 13 10"
run_case "NO_COLOR" "$disk_full" 'ERROR: disk full\nafter' NO_COLOR=1
run_case "FORCE_COLOR" "$disk_full" '\e[91mERROR:\e[39m disk full\nafter' FORCE_COLOR=1
run_case "CLICOLOR_FORCE" "$disk_full" '\e[91mERROR:\e[39m disk full\nafter' CLICOLOR_FORCE=1

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
