#!/usr/bin/env bash
# Takes a picture of Korvel's window as a user sees it after start-up: starts
# korvel on a virtual X display and lets it save its own window as a PNG.
# Usage: tools/screenshot.sh [OUTPUT.png] [BUILD_DIR] [SCALE]
#   OUTPUT.png  defaults to docs/screenshot.png
#   BUILD_DIR   an existing build directory to reuse; without it (or with "")
#               the release preset is configured and built.
#   SCALE       the desktop's scaling in percent, 100 by default; 150 and 200
#               set Xft.dpi as a desktop would, and the picture comes out at
#               that many pixels.
# The window speaks the language of LANG (or LC_ALL, LC_MESSAGES, LANGUAGE):
#   LANG=de_DE.UTF-8 tools/screenshot.sh /tmp/de.png
# Qt reads the variables itself, so the locale need not be generated.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh build screenshot

out="${1:-docs/screenshot.png}"
build="${2:-}"
scale="${3:-100}"
[[ "$scale" =~ ^[1-9][0-9]*$ ]] || { echo "SCALE is a percentage, e.g. 200" >&2; exit 2; }
if [ -z "$build" ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target korvel
    build=build/release
fi
mkdir -p "$(dirname "$out")"

# A sanitized build dir works too; Qt's system libraries keep a few allocations.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}"
# Qt reads Xft.dpi from the root window's resources, where xrdb would put it
# (a tab after the colon, as xrdb writes it); -noreset keeps them after xprop,
# the first client, has gone.
resources=$(printf 'Xft.dpi:\t%d' $((96 * scale / 100)))
xvfb-run -a -s "-screen 0 $((1280 * scale / 100))x$((900 * scale / 100))x24 -noreset" \
    sh -c 'xprop -root -format RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "$1" &&
           exec "$2" --screenshot "$3"' sh "$resources" "$build/app/korvel" "$out"
echo "Saved $out"
