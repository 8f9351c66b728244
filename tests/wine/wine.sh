#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: CTest's emulator for the
# windows preset, and the Windows test stage's way of starting programs.
# A private prefix under build/windows, no debug output, no display needed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../../build/windows/wineprefix}"
export WINEDEBUG=-all
export DISPLAY=
# No Mono or Gecko: console programs need neither, and wineboot would offer to fetch them.
# No menu entries in the host's desktop for shortcuts made in the prefix.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
exec /usr/lib/wine/wine64 "$@"
