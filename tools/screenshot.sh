#!/usr/bin/env bash
# Takes a picture of Korvel's window as a user sees it after start-up: starts
# korvel on a virtual X display and lets it save its own window as a PNG.
# Usage: tools/screenshot.sh [OUTPUT.png] [BUILD_DIR]
#   OUTPUT.png  defaults to docs/screenshot.png
#   BUILD_DIR   an existing build directory to reuse; without it the release
#               preset is configured and built.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh build screenshot

out="${1:-docs/screenshot.png}"
build="${2:-}"
if [ -z "$build" ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target korvel
    build=build/release
fi
mkdir -p "$(dirname "$out")"

# A sanitized build dir works too; Qt's system libraries keep a few allocations.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}"
xvfb-run -a -s "-screen 0 1280x900x24" "$build/app/korvel" --screenshot "$out"
echo "Saved $out"
