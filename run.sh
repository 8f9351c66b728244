#!/usr/bin/env bash
# Builds a release build of Korvel and starts it. Without arguments it starts
# `korvel --demo`, a simulated logger included; arguments go to korvel as given.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh build

cmake --preset release >/dev/null
cmake --build --preset release
if [ "$#" -eq 0 ]; then
    set -- --demo
fi
exec build/release/app/korvel "$@"
