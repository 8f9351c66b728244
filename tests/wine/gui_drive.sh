#!/usr/bin/env bash
# Drives korvel.exe on the X display that xvfb-run gives it, with keys as a
# user would press them: Read, then Save, each prompt answered
# with Enter. Keeps a picture of the screen with the "Read Success" box.
# The prompts' texts come from the window's standard error (the korvel.prompt
# logging category).
# Usage (from gui_stage.sh): gui_drive.sh WORKDIR KORVEL_EXE COM_PORT
set -euo pipefail
work=$1 exe=$2 port=$3
log=$work/korvel.log

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
# Wine hands WINEQT_* on to Windows programs as QT_* (it keeps QT_* itself).
export WINEQT_LOGGING_RULES="korvel.prompt.info=true" WINEQT_FORCE_STDERR_LOGGING=1
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
no_prompt() { ! window_named Prompt; }
times_said() { grep -c "$1" "$log" || true; }
said_more() { [ "$(times_said "$1")" -gt "$2" ]; }
press() {
    local window
    window=$(xdotool search --onlyvisible --name "^$1\$" | tail -1)
    [ -n "$window" ] || return 1
    timeout 10 xdotool windowfocus --sync "$window"
    timeout 10 xdotool key --clearmodifiers "$2"
}
# The scan that starts with the window may already have found the logger and
# shown its "Read Success": boxes are answered until none comes for a while.
answer_prompts() {
    for _ in 1 2 3 4 5; do
        until_ok 2 window_named Prompt || return 0
        press Prompt Return || true
        until_ok 5 no_prompt || { echo "a box would not close"; return 1; }
    done
    echo "the prompts do not stop"
    return 1
}
# press_and_expect WINDOW KEYS TEXT: presses KEYS and waits for a box that
# says TEXT (the window logs each box's text); the callers check the outcome
# on the logger's side as well.
press_and_expect() {
    local before
    before=$(times_said "$3")
    press "$1" "$2"
    until_ok 30 window_named Prompt || { echo "no box after $2"; return 1; }
    if ! until_ok 5 said_more "$3" "$before"; then
        echo "the box after $2 did not say '$3'"
        cat "$log"
        return 1
    fi
}

until_ok 90 window_named Paramter || { echo "no window"; exit 1; }
answer_prompts

press_and_expect Paramter ctrl+r "Read Success"
import -window root "$work/window.png"
answer_prompts

press_and_expect Paramter ctrl+s "Save Success"
answer_prompts

# The program is ended from outside: its Close asks first, and under Wine
# without a window manager that box does not reliably take the keys.
