#!/usr/bin/env bash
# korvel.exe under Wine with its native windows platform plugin on a virtual
# X display (Xvfb): it starts against korvel-sim behind COM35, shows its
# window and saves a picture of it (--screenshot), which the stage keeps as
# WORKDIR/window.png for a person to look at.
# Run by run.sh inside its Wine session; every step is bounded.
# Usage: gui_stage.sh WORKDIR KORVEL_SIM KORVEL_EXE VERSION
set -euo pipefail
work=$1 sim=$2 exe=$3 version=$4
wine="$(cd "$(dirname "$0")" && pwd)/wine.sh"
com_port=COM35
com_link="$WINEPREFIX/dosdevices/${com_port,,}"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -f "$com_link"
}
trap cleanup EXIT

"$sim" --pace --save-to "$work/saved.hex" >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
pty=$(head -n 1 "$work/sim.out")
[ -n "$pty" ] || { echo "korvel-sim named no port; see $work/sim.log" >&2; exit 1; }
ln -sfn "$pty" "$com_link"

out=$(timeout 60 "$wine" "$exe" --version 2>/dev/null | tr -d '\r')
[[ "$out" == *"$version"* ]] || { echo "korvel.exe --version said '$out'" >&2; exit 1; }

# wine.sh empties DISPLAY for console programs; the window needs Xvfb's.
timeout 180 xvfb-run -a -s "-screen 0 1280x800x24" \
    env WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=" \
    /usr/lib/wine/wine64 "$exe" --port "$com_port" --screenshot "Z:$work/window.png" \
    >"$work/korvel.log" 2>&1 ||
    { echo "korvel.exe did not show its window; see $work/korvel.log" >&2; exit 1; }
[ -s "$work/window.png" ] || { echo "korvel.exe saved no picture of its window" >&2; exit 1; }
echo "korvel.exe: --version, and its window on Xvfb in $work/window.png"
