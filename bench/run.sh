#!/usr/bin/env bash
# Builds the benchmarks in release mode and prints every figure beside its floor
# measured in the same run: start-up to the first painted frame and peak
# resident memory (against a bare Qt window showing the same background), CPU
# while idle for 30 s, reader throughput (against a plain read() loop on a
# pty), the Read round trip (against the line and the design's waits) and
# korvel-cli's search for the logger (against a read of the logger's own port
# and the window's scan).
# Usage: bench/run.sh [idle seconds, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
idle="${1:-30}"
# postgresql: the shared history's benchmark starts a private server.
tools/deps.sh build test

cmake --preset bench >/dev/null
cmake --build --preset bench --target startup_korvel startup_floor startup_bench serial_bench \
    roundtrip_bench discovery_bench provision_bench shared_bench >/dev/null

# Without a display the windows paint on Qt's offscreen platform.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
fi
runtime="$(mktemp -d)"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"

bin=build/bench/bench
echo "== $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p')"
echo "== window start-up, memory and idle CPU (QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-default})"
"$bin/startup/startup_bench" "$bin/startup/startup_korvel" "$bin/startup/startup_floor" 7 "$idle"
echo "== serial link on a pseudo-terminal"
"$bin/serial/serial_bench"
echo "== Read round trip against the simulated logger"
"$bin/roundtrip/roundtrip_bench"
echo "== korvel-cli finding the logger on the fifth of eight ports"
"$bin/discovery/discovery_bench"
echo "== korvel-cli provisioning 1, 8 and 32 loggers at once"
"$bin/provision/provision_bench"
echo "== the shared history: four benches of 32 loggers into one PostgreSQL server, a 100,000-row backlog"
"$bin/shared/shared_bench"
