#!/usr/bin/env bash
# The search for the logger under Wine (bench/README.md): eight korvel-sim
# processes of the Linux build, each on a pseudo-terminal that the Wine prefix
# maps to COM41 to COM48, the fifth a logger pacing its bytes at 9600 baud and
# the other seven silent; discovery_bench.exe searches the eight as the
# system's list and reads the fifth with --port, and prints both.
# Run by run.sh inside its Wine session; every step is bounded.
# Usage: discovery_stage.sh WORKDIR KORVEL_SIM DISCOVERY_BENCH_EXE
set -euo pipefail
work=$1 sim=$2 exe=$3
wine="$(cd "$(dirname "$0")" && pwd)/wine.sh"
rm -rf "$work"
mkdir -p "$work"

pids=()
links=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -f "${links[@]}"
}
trap cleanup EXIT

ports=()
for i in 1 2 3 4 5 6 7 8; do
    mode=silent
    [ "$i" = 5 ] && mode=normal
    "$sim" --pace --mode "$mode" >"$work/sim$i.out" 2>"$work/sim$i.log" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/sim$i.out" ] && break
        sleep 0.1
    done
    pty=$(head -n 1 "$work/sim$i.out")
    [ -n "$pty" ] || { echo "korvel-sim $i named no port; see $work/sim$i.log" >&2; exit 1; }
    port="COM$((40 + i))"
    link="$WINEPREFIX/dosdevices/${port,,}"
    ln -sfn "$pty" "$link"
    links+=("$link")
    ports+=("$port")
done

echo "== korvel-cli finding the logger on the fifth of eight COM ports, under Wine"
timeout 300 "$wine" "$exe" "${ports[@]}" | tr -d '\r'
