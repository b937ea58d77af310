#!/usr/bin/env bash
# Builds colortext.exe (32-bit Windows, no runtime) into build/windows/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh cmake make g++-mingw-w64-i686

cmake --preset windows >/dev/null
cmake --build --preset windows
echo "built: $(pwd)/build/windows/colortext.exe"
