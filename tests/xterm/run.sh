#!/usr/bin/env bash
# The native colortext in xterm.js: installs its headless build from the
# npm registry, as package-lock.json pins it, into a folder of the build
# tree (once), and runs screen.js there.
#   usage: run.sh path/to/colortext BUILD_DIR
set -euo pipefail
# What the terminal shows must not depend on the environment.
unset NO_COLOR FORCE_COLOR CLICOLOR_FORCE
here=$(cd "$(dirname "$0")" && pwd)
command -v node >/dev/null && command -v npm >/dev/null ||
    { echo "FAIL: Node.js and npm are needed"; exit 1; }
dir=$2/xterm
mkdir -p "$dir"
cp "$here/package.json" "$here/package-lock.json" "$here/screen.js" "$dir/"
cd "$dir"
[ -f node_modules/@xterm/headless/package.json ] ||
    npm ci --ignore-scripts --no-audit --no-fund >/dev/null
exec node screen.js "$1"
