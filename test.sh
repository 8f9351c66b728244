#!/usr/bin/env bash
# Checks the formatting, then builds and runs every test: clang-tidy's checks
# and the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the serial-link tests under ThreadSanitizer,
# then the Windows cross-build's tests under Wine, then every fuzz target for
# about a minute (clang, libFuzzer).
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh build test a11y windows

# Compiled objects are kept in ccache's own folder outside the checkout, keyed by
# what they were built from, so a second run rebuilds only what changed. Paths
# are taken relative to the checkout, so any clone of it shares the cache.
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

# The static SQLite and Qt for mingw of the Windows stage need nothing built
# before them, and Qt is the longest build of the run: they start now, at the
# lowest priority, so they take only the CPU the builds and tests below leave
# idle (the tests mostly run one at a time). tests/wine/run.sh asks for them
# again and waits for this build to end; on an early failure it stops here,
# and the next run resumes it.
mkdir -p build
setsid nice -n 19 bash -c 'tools/build-sqlite-mingw.sh && if [ "${KORVEL_WINDOWS_GUI:-1}" = 1 ];
    then tools/build-qt-mingw.sh; fi' >build/mingw-libraries.log 2>&1 &
mingw_libraries=$!
trap 'kill -- -$mingw_libraries 2>/dev/null || true' EXIT

# Every C++ file as clang-format writes it.
tools/check-format.sh

cmake --preset asan >/dev/null
cmake --build --preset asan
# clang-tidy's bugprone and performance checks over what that build compiles;
# files unchanged since they last passed are not checked again.
tools/tidy.sh build/asan
ctest --preset asan

cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan

# protocol/, platform/, serial/, the settings files, korvel-cli.exe and the
# window cross-built with mingw-w64 and run under Wine: the line tests on a COM
# port mapped to a pseudo-terminal, korvel-cli.exe against the simulated
# logger, the window's tests, korvel.exe on Xvfb and the installer. The static
# Qt for mingw is built once into a cache outside the checkout.
tests/wine/run.sh

tools/deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_targets
tests/fuzz/run.sh build/fuzz 60

# The Debian package: built, checked with lintian, unpacked into a scratch root
# and started from there.
packaging/check-package.sh
