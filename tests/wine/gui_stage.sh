#!/usr/bin/env bash
# korvel.exe under Wine with its native windows platform plugin on a virtual
# X display (Xvfb), against korvel-sim behind COM35:
#   - --version answers without a display;
#   - Read (Ctrl+R) shows "Read Success", and a picture of the screen is kept
#     as WORKDIR/window.png for a person to look at;
#   - Save (Ctrl+S) shows "Save Success", and the block the simulated logger
#     received is byte for byte the one the Linux korvel-cli saved just before
#     (the same settings), but for the clock, which must be the computer's;
# The window's prompts come out on its standard error (the korvel.prompt
# logging category), since a driver outside cannot read a message box.
# Run by run.sh inside its Wine session; every step is bounded.
# Usage: gui_stage.sh WORKDIR KORVEL_SIM KORVEL_CLI KORVEL_EXE VERSION
set -euo pipefail
work=$1 sim=$2 cli=$3 exe=$4 version=$5
here="$(cd "$(dirname "$0")" && pwd)"
wine="$here/wine.sh"
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

"$sim" --save-to "$work/saved.hex" >"$work/sim.out" 2>"$work/sim.log" &
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

# The reference: the Linux side saves a changed limit, and the block that
# reaches the logger is what the window must save again after its Read.
linux() { timeout 30 "$cli" --history "$work/history.sqlite3" --port "$pty" "$@"; }
linux read --json >"$work/before.json"
sed 's/"high": [0-9.]*}/"high": 17.19}/' "$work/before.json" >"$work/changed.json"
linux write "$work/changed.json" >"$work/linux-write.out"
[ -s "$work/saved.hex" ] || { echo "the Linux side saved nothing" >&2; exit 1; }
mv "$work/saved.hex" "$work/reference.hex"

timeout 240 xvfb-run -a -s "-screen 0 1280x800x24" \
    "$here/gui_drive.sh" "$work" "$exe" "$com_port" >"$work/drive.log" 2>&1 ||
    { echo "korvel.exe under Xvfb failed:" >&2; cat "$work/drive.log" >&2; exit 1; }

[ -s "$work/saved.hex" ] || { echo "the window's save reached no logger" >&2; exit 1; }
# Bytes 52 to 57 are the logger's clock (year - 2000, month, day, hour,
# minute, second), set from the computer's local time at the save; byte 208
# sums the bytes from the command byte (2) on, the clock among them.
python3 - "$work/reference.hex" "$work/saved.hex" <<'PY'
import datetime, sys
ref, got = (bytes.fromhex(open(p).read()) for p in sys.argv[1:3])
if len(ref) != 210 or len(got) != 210:
    sys.exit(f"blocks of {len(ref)} and {len(got)} bytes, not 210")
clock, checksum = range(52, 58), 208
diff = [i for i in range(210) if i not in clock and i != checksum and ref[i] != got[i]]
if diff:
    sys.exit("the window saved other bytes than the Linux side at " +
             ", ".join(f"{i}: {ref[i]:02x} -> {got[i]:02x}" for i in diff))
if got[checksum] != sum(got[2:checksum]) % 256:
    sys.exit(f"the window's block has a wrong checksum {got[checksum]:02x}")
def clock_of(block):
    y, mo, d, h, mi, s = block[52:58]
    return datetime.datetime(2000 + y, mo, d, h, mi, s)
# The Linux side wrote the computer's local time moments before.
saved = clock_of(got)
if abs((saved - clock_of(ref)).total_seconds()) > 120:
    sys.exit(f"the saved clock {saved} is not the computer's ({clock_of(ref)})")
print(f"  ok    the saved block equals the Linux side's but for the clock ({saved})")
PY
echo "korvel.exe: --version, Read and Save on Xvfb; the screen after Read in $work/window.png"
