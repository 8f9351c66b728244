#!/usr/bin/env bash
# Rebuilds the artwork: builds the painter program and writes every PNG into
# assets/. Pass a file name to also get a contact sheet, e.g.
#   assets/regenerate.sh /tmp/sheet.png
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/paint-assets"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target korvel_paint_assets -j2 >/dev/null
if [[ $# -ge 1 ]]; then
    QT_QPA_PLATFORM=offscreen "$build/assets/korvel_paint_assets" "$root/assets" --sheet "$1"
else
    QT_QPA_PLATFORM=offscreen "$build/assets/korvel_paint_assets" "$root/assets"
fi
echo "pictures written to $root/assets"
