#!/usr/bin/env bash
# Drives korvel.exe on the X display that xvfb-run gives it, with keys as a
# user would press them: Read, then Save, then Close, each prompt answered
# with Enter. Keeps a picture of the screen with the "Read Success" box.
# Usage (from gui_stage.sh): gui_drive.sh WORKDIR KORVEL_EXE COM_PORT
set -euo pipefail
work=$1 exe=$2 port=$3
log=$work/korvel.log

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
export QT_LOGGING_RULES="korvel.prompt.info=true" QT_FORCE_STDERR_LOGGING=1
/usr/lib/wine/wine64 "$exe" --port "$port" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# until SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds.
until_ok() {
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
window_named() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
said() { grep -q "$1" "$log"; }
press() {
    local window
    window=$(xdotool search --onlyvisible --name "^$1\$" | tail -1)
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers "$2"
}

until_ok 90 window_named Paramter || { echo "no window"; exit 1; }
# The window looks for its logger at start; let that settle before Read.
sleep_free() { ! window_named Prompt; }
until_ok 10 sleep_free
press Paramter ctrl+r
until_ok 30 said "Read Success" || { echo "no Read Success"; cat "$log"; exit 1; }
until_ok 10 window_named Prompt || { echo "no box for Read Success"; exit 1; }
import -window root "$work/window.png"
press Prompt Return
until_ok 10 sleep_free

press Paramter ctrl+s
until_ok 30 said "Save Success" || { echo "no Save Success"; cat "$log"; exit 1; }
until_ok 10 window_named Prompt
press Prompt Return
until_ok 10 sleep_free

press Paramter ctrl+q
until_ok 10 window_named Prompt || { echo "Close asked nothing"; exit 1; }
press Prompt Return
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "korvel.exe did not end after Close"
    exit 1
fi
trap - EXIT
wait "$pid"
