#!/usr/bin/env bash
# The Windows test stage: cross-builds protocol/, platform/, serial/, the
# settings files and korvel-cli.exe with their tests with mingw-w64 (preset
# windows, optimised and stripped as the installers ship it), with the static
# SQLite that tools/build-sqlite-mingw.sh builds once into its cache for the
# history of saves, and runs them under Wine in a private prefix
# (build/windows/wineprefix), headless. The line tests open COM33, which the
# prefix's dosdevices link points at a pseudo-terminal whose far end,
# korvel-pty-peer, echoes every byte; korvel-cli.exe then reads and writes a
# simulated logger behind COM34 (cli_stage.sh).
# With the window (unless KORVEL_WINDOWS_GUI=0): the static Qt for mingw that
# tools/build-qt-mingw.sh builds once into its cache, korvel.exe and the
# window's tests on the offscreen platform, korvel.exe on its native platform
# under Xvfb against a simulated logger (gui_stage.sh), and the installer
# (installer_stage.sh).
# Prints the skipped tests with their reasons and where the stage's time
# went. Every step is bounded.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
gui=${KORVEL_WINDOWS_GUI:-1}

# build and test: the Linux build that serves the simulated logger.
tools/deps.sh build test windows

tools/build-sqlite-mingw.sh
sqlite_ready=$SECONDS
if [ "$gui" = 1 ]; then
    tools/build-qt-mingw.sh
fi
qt_ready=$SECONDS
# The history is required: a build directory configured before SQLite was
# there would otherwise keep building programs without it.
if [ "$gui" = 1 ]; then
    cmake --preset windows -DKORVEL_HISTORY_SQLITE=ON -DKORVEL_BUILD_GUI=ON >/dev/null
else
    cmake --preset windows -DKORVEL_HISTORY_SQLITE=ON >/dev/null
fi
# The Linux side: the simulated logger and the witness that reads it, from the
# test build that ./test.sh has just made, and the manual that korvel.exe and
# the installer carry (a cross-build cannot run its own helpdoc).
cmake --preset asan >/dev/null
if [ "$gui" = 1 ]; then
    cmake --build --preset asan --target korvel-sim korvel-cli korvel_help
    # The window's tests, not every folder's: the others that the window turns
    # on (the program's start-up) test Linux's side. The translations' tests
    # find Qt's own translations beside the program, as korvel.exe must. One
    # Release build serves the tests and the installer alike.
    cmake --build --preset windows --target history_tests platform_tests protocol_tests sim_tests \
        serial_tests settingsfile_tests korvel-cli korvel korvel_notices korvel_relink_kit \
        window_tests window_density_tests window_access_tests translation_tests discovery_bench
else
    cmake --build --preset asan --target korvel-sim korvel-cli
    cmake --build --preset windows
fi

built=$SECONDS
build=build/windows
mkdir -p "$build/host"
c++ -std=c++20 -O1 -Wall -Wextra -o "$build/host/korvel-pty-peer" tests/wine/pty_peer.cpp -lutil

export WINEPREFIX="$PWD/$build/wineprefix"
wine=tests/wine/wine.sh
com_port=COM33
com_link="$WINEPREFIX/dosdevices/${com_port,,}"

wineserver() { timeout 30 /usr/lib/wine/wineserver64 "$@"; }

peer_pid=""
cleanup() {
    if [ -n "$peer_pid" ]; then
        kill "$peer_pid" 2>/dev/null || true
        wait "$peer_pid" 2>/dev/null || true
    fi
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    timeout 300 "$wine" wineboot --init >"$build/wineboot.log" 2>&1
fi
# One Wine session for the whole stage. Its server and the services it starts
# keep the standard streams of whatever started them open, so they get a log
# here: started by the first test instead, they would hold CTest's pipe (and
# so that test) open until the session ends, and put the server's object dump
# into the test output. The server outlives the last program by two minutes.
wineserver -k 2>/dev/null || true
wineserver -p120 >"$build/wine-session.log" 2>&1
timeout 120 "$wine" wineboot >>"$build/wine-session.log" 2>&1

"$build/host/korvel-pty-peer" "$com_link" >"$build/pty-peer.log" 2>&1 &
peer_pid=$!
for _ in $(seq 50); do
    [ -L "$com_link" ] && break
    sleep 0.1
done
[ -L "$com_link" ] || { echo "korvel-pty-peer did not link $com_link" >&2; exit 1; }

status=0
tests_started=$SECONDS
KORVEL_TEST_COM=$com_port timeout 1200 ctest --preset windows \
    -R '^((history|platform|protocol|serial|settingsfile|sim|window|window_density|window_access|translation)_tests|third_party_notices|windows_resources)$' ||
    status=$?
cli_started=$SECONDS

# korvel-cli.exe against the simulated logger: korvel-sim of the Linux build
# behind COM34, with the Linux korvel-cli as the other side's witness.
tests/wine/cli_stage.sh "$build/cli-stage" build/asan/tools/sim/korvel-sim \
    build/asan/cli/korvel-cli "$build/cli/korvel-cli.exe" || status=$?


# The search for the logger under Wine: the discovery benchmark over eight
# COM ports (bench/README.md).
tests/wine/discovery_stage.sh "$build/discovery-stage" build/asan/tools/sim/korvel-sim \
    "$build/bench/discovery/discovery_bench.exe" || status=$?

cli_ended=$SECONDS
gui_times=""
if [ "$gui" = 1 ]; then
    version=$(sed -n 's/^project(Korvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    tests/wine/gui_stage.sh "$build/gui-stage" build/asan/tools/sim/korvel-sim \
        build/asan/cli/korvel-cli "$build/app/korvel.exe" "$version" || status=$?
    gui_ended=$SECONDS
    # Builds the setup and the MSI again, signed with a test certificate.
    tests/wine/installer_stage.sh "$build/installer-stage" "$build" "$version" || status=$?
    gui_times=", korvel.exe under Xvfb $((gui_ended - cli_ended)) s,"
    gui_times+=" installer $((SECONDS - gui_ended)) s"
fi

echo "Skipped under Wine:"
awk '/: Skipped$/ { getline reason; getline name; sub(/^\[  SKIPPED \] /, "", name);
                    print "  " name ": " reason }' "$build/Testing/Temporary/LastTest.log" |
    sort -u
echo "Windows stage: $((SECONDS - started)) s (SQLite for mingw $((sqlite_ready - started)) s," \
    "Qt for mingw $((qt_ready - sqlite_ready)) s," \
    "build $((built - qt_ready)) s, Wine set-up" \
    "$((tests_started - built)) s, tests $((cli_started - tests_started)) s," \
    "korvel-cli.exe $((cli_ended - cli_started)) s$gui_times)"
exit "$status"
