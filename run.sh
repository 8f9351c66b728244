#!/usr/bin/env bash
# Builds a release build of Korvel and starts it; arguments go to korvel.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh build

cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/app/korvel "$@"
