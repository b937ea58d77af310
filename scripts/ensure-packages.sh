#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing.
# As root it runs apt-get (scripts/apt.sh); otherwise it says what to run
# and fails.
set -euo pipefail
. "$(dirname "$0")/apt.sh"

missing=()
for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]}" >&2
    echo "run as root: apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "installing: ${missing[*]}"
apt_update
apt_install "${missing[@]}"
