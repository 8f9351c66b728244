#!/usr/bin/env bash
# Presses Read in `korvel --demo` through AT-SPI with a real accessibility
# client (pyatspi), on a private session bus and a virtual X display, so that
# it runs the same as root in CI with no display and no desktop.
# Usage: tests/app/atspi-read.sh KORVEL_PROGRAM
# Exit status 77 (skipped) when the packages of `tools/deps.sh a11y` are missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="${1:?usage: atspi-read.sh KORVEL_PROGRAM}"

missing=()
for tool in xvfb-run xauth dbus-run-session dbus-daemon; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=(at-spi-bus-launcher)
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(pyatspi)
if ((${#missing[@]})); then
    echo "SKIPPED: missing ${missing[*]}; install them with tools/deps.sh a11y"
    exit 77
fi

# Run by hand on a sanitized build, the leak check needs the suppressions for
# the system libraries Qt loads (ctest's preset sets them already).
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/../lsan.supp}"
# A desktop's own settings must not reach the test.
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
# The client looks for the English words; the user's language must not change them.
unset LANGUAGE LC_MESSAGES
export LC_ALL=C.UTF-8
# The client bounds each step; this bounds the whole, buses and display included.
exec timeout --kill-after=10 150 \
    dbus-run-session -- \
    xvfb-run -a -s "-screen 0 1280x900x24" \
    /usr/bin/python3 "$here/atspi_read.py" "$program"
