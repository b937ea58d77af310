#!/usr/bin/env bash
# The package install path of scripts/apt.sh and scripts/ensure-packages.sh,
# against a fake apt-get (and dpkg-query) on the PATH and apt sources in a
# throwaway folder: an update that keeps failing, an install that only
# works pinned to the base release, one that never works, and the mirror
# read from either form of sources file.
#   usage: apt_test.sh SOURCE-DIR
set -uo pipefail
scripts=$(cd "$1/scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

mkdir -p "$work/bin" "$work/etc/apt/sources.list.d"
# Each call is logged as one line. FAKE_UPDATE_FAILURES updates fail before
# one succeeds; FAKE_INSTALL is ok, pinned (works only with -t) or never.
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$FAKE_LOG"
case "$1" in
update)
    done=$(grep -c '^apt-get update' "$FAKE_LOG")
    [ "$done" -gt "${FAKE_UPDATE_FAILURES:-0}" ] || { echo "E: File has unexpected size" >&2; exit 100; }
    ;;
install)
    case "${FAKE_INSTALL:-ok} $*" in
    ok*) ;;
    "pinned "*" -t "*) ;;
    *) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
    esac
    ;;
esac
EOF
# Every package but "present" is missing.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
for last; do :; done
[ "$last" = present ] && printf 'install ok installed'
exit 0
EOF
chmod +x "$work/bin/apt-get" "$work/bin/dpkg-query"
printf 'ID=debian\nVERSION_CODENAME=bookworm\n' >"$work/etc/os-release"

export PATH="$work/bin:$PATH" APT_ETC="$work/etc" APT_RETRY_DELAY=0 FAKE_LOG="$work/log"

# expect NAME STATUS 'LOG LINES' COMMAND...: runs COMMAND in a fresh log and
# compares its exit status and the apt-get calls it made ("|" between them).
expect() {
    local name=$1 want_status=$2 want_log=$3 got_status got_log
    shift 3
    : >"$FAKE_LOG"
    "$@" >"$work/out" 2>&1
    got_status=$?
    got_log=$(sed 's/ -y -q --no-install-recommends//' "$FAKE_LOG" | paste -sd'|' -)
    if [ "$got_status" = "$want_status" ] && [ "$got_log" = "$want_log" ]; then
        echo "ok: $name"
    else
        echo "FAIL: $name: status $got_status (expected $want_status)"
        echo "  calls:    $got_log"
        echo "  expected: $want_log"
        sed 's/^/  | /' "$work/out"
        status=1
    fi
}
in_apt() { bash -c '. "$0/apt.sh"; "$@"' "$scripts" "$@"; }
said() { grep -q "$1" "$work/out" || { echo "FAIL: the output lacks '$1'"; status=1; }; }

FAKE_UPDATE_FAILURES=1 expect "an update that fails once is tried again" 0 \
    "apt-get update -q|apt-get update -q" in_apt apt_update
FAKE_UPDATE_FAILURES=9 expect "an update that keeps failing goes on with a warning" 0 \
    "apt-get update -q|apt-get update -q|apt-get update -q" in_apt apt_update
said "warning: some package lists could not be updated"
FAKE_INSTALL=pinned expect "a failed install is tried again pinned to the base release" 0 \
    "apt-get install a b|apt-get install -t bookworm a b" in_apt apt_install a b
FAKE_INSTALL=never expect "an install given its own release is not pinned" 1 \
    "apt-get install -t bookworm-backports q" in_apt apt_install -t bookworm-backports q
FAKE_INSTALL=never expect "an install that cannot work fails and says so" 1 \
    "apt-get install a|apt-get install -t bookworm a" in_apt apt_install a
said "error: cannot install a"
FAKE_UPDATE_FAILURES=9 FAKE_INSTALL=pinned expect "ensure-packages: a mirror mid-sync" 0 \
    "apt-get update -q|apt-get update -q|apt-get update -q|apt-get install gone|apt-get install -t bookworm gone" \
    "$scripts/ensure-packages.sh" present gone
expect "ensure-packages: nothing missing, nothing run" 0 "" "$scripts/ensure-packages.sh" present

# The mirror comes from the sources there are, never from this script.
mirror_is() {
    local got
    got=$(in_apt apt_mirror "$1")
    if [ "$got" = "$2" ]; then echo "ok: mirror for $1 from $3"; else
        echo "FAIL: mirror for $1 from $3: '$got', expected '$2'"
        status=1
    fi
}
cat >"$work/etc/apt/sources.list.d/debian.sources" <<'EOF'
# A stanza that is switched off, then one that spans lines.
Types: deb
URIs: file:/srv/off/debian
Suites: bookworm
Enabled: no

Types: deb deb-src
URIs:
 file:/srv/mirror/debian
 file:/srv/second/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: file:/srv/mirror/debian-security
Suites: bookworm-security
Components: main
EOF
mirror_is bookworm "file:/srv/mirror/debian /usr/share/keyrings/debian-archive-keyring.gpg" deb822
mirror_is bookworm-security "file:/srv/mirror/debian-security" deb822
mirror_is bookworm-backports "" deb822

rm "$work/etc/apt/sources.list.d/debian.sources"
cat >"$work/etc/apt/sources.list" <<'EOF'
# deb file:/srv/commented/debian bookworm main
deb-src file:/srv/source/debian bookworm main
deb [ arch=amd64 signed-by=/etc/apt/keyrings/local.gpg ] file:/srv/list/debian bookworm main
EOF
mirror_is bookworm "file:/srv/list/debian /etc/apt/keyrings/local.gpg" sources.list

# A suite is added from that mirror, once.
expect "add a suite from the machine's mirror" 0 "" in_apt apt_add_suite bookworm-backports
mirror_is bookworm-backports "file:/srv/list/debian /etc/apt/keyrings/local.gpg" "the added file"
rm "$work/etc/apt/sources.list"
expect "add a suite with no mirror to take it from" 1 "" in_apt apt_add_suite other-backports
said "no apt source for bookworm"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
