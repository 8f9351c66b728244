#!/usr/bin/env bash
# korvel-cli.exe under Wine against a simulated logger: korvel-sim of the Linux
# build serves a pseudo-terminal that the Wine prefix maps to COM34, and the
# Linux korvel-cli reads the same logger as the witness. Checks that
#   - read --json under Wine prints what the Linux side reads;
#   - that file written back under Wine is "no change", exit 0;
#   - an alarm limit of 17.19 (the bytes 0x11 0x13, XON and XOFF, in the save
#     frame and in every reply after it) is saved and verified under Wine,
#     arrives whole at the logger and is read back alike by both sides;
#   - that save is recorded in the history under %LOCALAPPDATA%\Korvel, which
#     history list shows and history verify finds intact;
#   - check validates a file, also one named 温度.json, and a missing Jürgen.json
#     is named whole;
#   - --demo reads the simulated logger inside the program, and a changed
#     limit written to it is saved and verified.
# Run by run.sh inside its Wine session; every step is bounded.
# Usage: cli_stage.sh WORKDIR KORVEL_SIM KORVEL_CLI KORVEL_CLI_EXE
set -euo pipefail
work=$1 sim=$2 cli=$3 exe=$4
wine="$(cd "$(dirname "$0")" && pwd)/wine.sh"
com_port=COM34
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
# The prefix's own user; its history starts empty on every run.
history_glob="$WINEPREFIX/drive_c/users/*/AppData/Local/Korvel/history.sqlite3"
# shellcheck disable=SC2086
rm -f $history_glob

"$sim" --pace --save-to "$work/saved.hex" >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
pty=$(head -n 1 "$work/sim.out")
[ -n "$pty" ] || { echo "korvel-sim named no port; see $work/sim.log" >&2; exit 1; }
ln -sfn "$pty" "$com_link"

# Wine maps the Linux root to drive Z:; its programs print CR LF line ends.
windows_path() { echo "Z:$1"; }
on_windows() { timeout 60 "$wine" "$exe" "$@"; }
# The witness's saves go into the stage's own history, never the user's.
on_linux() { timeout 30 "$cli" --history "$work/history.sqlite3" "$@"; }
crlf_to_lf() { tr -d '\r' <"$1" >"$1.lf" && mv "$1.lf" "$1"; }

failures=0
check() {
    local name=$1
    shift
    if "$@"; then
        echo "  ok    $name"
    else
        echo "  FAIL  $name"
        failures=$((failures + 1))
    fi
}
exited() { [ "$1" -eq "$2" ]; }

echo "korvel-cli.exe on $com_port (korvel-sim on $pty):"
rc=0
on_linux --port "$pty" read --json >"$work/linux.json" 2>"$work/linux.err" || rc=$?
check "the Linux side reads the logger" exited "$rc" 0
rc=0
on_windows --port "$com_port" read --json >"$work/windows.json" 2>"$work/windows.err" || rc=$?
crlf_to_lf "$work/windows.json"
check "read --json exits 0" exited "$rc" 0
check "read --json prints what the Linux side reads" cmp -s "$work/linux.json" "$work/windows.json"
check "read --json holds the logger's serial number" \
    grep -q '"serial_number": "T23110042"' "$work/windows.json"

rc=0
on_windows --port "$com_port" write "$(windows_path "$work/windows.json")" \
    >"$work/same.out" 2>"$work/same.err" || rc=$?
crlf_to_lf "$work/same.out"
check "writing what was read exits 0" exited "$rc" 0
check "writing what was read is no change" grep -qx "no change" "$work/same.out"

sed 's/"high": 8}/"high": 17.19}/' "$work/windows.json" >"$work/changed.json"
rc=0
on_windows --port "$com_port" write "$(windows_path "$work/changed.json")" \
    >"$work/changed.out" 2>"$work/changed.err" || rc=$?
crlf_to_lf "$work/changed.out"
check "a changed limit is saved, acknowledged and verified: exit 0" exited "$rc" 0
check "the change is listed" grep -qx "alarm.high: 8 -> 17.19" "$work/changed.out"
check "the save frame reached the logger with its 0x11 0x13 bytes" \
    grep -q "11 13" <(tr '\n' ' ' <"$work/saved.hex")
rc=0
on_linux --port "$pty" read --json >"$work/linux-after.json" 2>>"$work/linux.err" || rc=$?
check "the Linux side reads the changed limit back" \
    grep -q '"high": 17.19}' "$work/linux-after.json"
rc=0
on_windows --port "$com_port" read --json >"$work/windows-after.json" 2>>"$work/windows.err" ||
    rc=$?
crlf_to_lf "$work/windows-after.json"
check "a reply holding 0x11 0x13 reads alike on both sides" \
    cmp -s "$work/linux-after.json" "$work/windows-after.json"

# shellcheck disable=SC2086
check "the save is recorded under %LOCALAPPDATA%\\Korvel" test -s "$(echo $history_glob)"
rc=0
on_windows history list >"$work/history-list.out" 2>"$work/history-list.err" || rc=$?
crlf_to_lf "$work/history-list.out"
check "history list exits 0" exited "$rc" 0
check "history list shows the save newest, confirmed, on $com_port" \
    grep -q "T23110042 *confirmed *$com_port" <(sed -n 2p "$work/history-list.out") # under the header
rc=0
on_windows history verify >"$work/history-verify.out" 2>"$work/history-verify.err" || rc=$?
crlf_to_lf "$work/history-verify.out"
check "history verify exits 0" exited "$rc" 0
check "history verify finds the history intact" grep -Eq ": intact, [1-9][0-9]* rows?, head [0-9a-f]{64}$" \
    "$work/history-verify.out"

rc=0
on_windows check "$(windows_path "$work/changed.json")" >/dev/null 2>&1 || rc=$?
check "check validates a file: exit 0" exited "$rc" 0
# Names beyond the ANSI code page: the argument must reach the program and
# the file system whole, and come back whole in what it prints.
cp "$work/changed.json" "$work/温度.json"
rc=0
on_windows check "$(windows_path "$work/温度.json")" >/dev/null 2>"$work/unicode.err" || rc=$?
check "check opens 温度.json: exit 0" exited "$rc" 0
rc=0
on_windows check "$(windows_path "$work/Jürgen.json")" >/dev/null 2>"$work/missing.err" || rc=$?
check "a missing Jürgen.json is named whole in the error" grep -q "Jürgen.json" "$work/missing.err"
# --demo: the simulated logger inside the program, behind the serial device
# seam, with no pseudo-terminal; it starts as korvel-sim did above.
rc=0
on_windows --demo read --json >"$work/demo.json" 2>"$work/demo.err" || rc=$?
crlf_to_lf "$work/demo.json"
check "--demo read exits 0" exited "$rc" 0
check "--demo read prints what the Linux side first read from korvel-sim" \
    cmp -s "$work/linux.json" "$work/demo.json"
sed 's/"high": 8}/"high": 17.19}/' "$work/demo.json" >"$work/demo-changed.json"
rc=0
on_windows --demo write "$(windows_path "$work/demo-changed.json")" \
    >"$work/demo-write.out" 2>"$work/demo-write.err" || rc=$?
crlf_to_lf "$work/demo-write.out"
check "--demo write saves, is acknowledged and reads back verified: exit 0" exited "$rc" 0
check "--demo write lists the change" grep -qx "alarm.high: 8 -> 17.19" "$work/demo-write.out"

if ((failures)); then
    echo "korvel-cli.exe: $failures checks failed; outputs in $work" >&2
    exit 1
fi
