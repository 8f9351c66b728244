#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over every source file that a build
# directory compiles. A file that passed is remembered outside the checkout, keyed
# by its text, the compile command, the checks and clang-tidy's version, so a run
# re-checks only what changed. Usage: tools/tidy.sh [BUILD_DIR]  (default build/asan)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/asan}"
db="$build/compile_commands.json"
[ -f "$db" ] || { echo "tools/tidy.sh: no $db; configure that build first" >&2; exit 2; }
cache="${XDG_CACHE_HOME:-$HOME/.cache}/korvel/tidy"
mkdir -p "$cache"
export KORVEL_TIDY_CACHE="$cache" KORVEL_TIDY_BUILD="$build" KORVEL_TIDY_ROOT="$PWD"
export KORVEL_TIDY_SALT
KORVEL_TIDY_SALT="$( (clang-tidy --version; cat .clang-tidy) | sha256sum | cut -c1-64)"

# Our own sources only: not what the build generates, not the fuzz targets
# (clang-only flags), not the Windows-only files (no Windows headers here).
python3 - "$db" >"$build/tidy-files.txt" <<'PY'
import json, os, sys
root = os.getcwd() + "/"
for c in json.load(open(sys.argv[1])):
    f = c["file"]
    rel = f[len(root):]
    if not f.startswith(root) or rel.startswith("build/") or "/build/" in rel or f.endswith("_win.cpp"):
        continue
    print(c["file"] + "\t" + c["command"])
PY

check_one() {
    local file="${1%%	*}" command="${1#*	}"
    local key
    # The checkout's own path is left out, so that every clone shares the record.
    key="$( (echo "$KORVEL_TIDY_SALT"; echo "${command//"$KORVEL_TIDY_ROOT"/}"; cat "$file") | sha256sum | cut -c1-64)"
    [ -f "$KORVEL_TIDY_CACHE/$key" ] && return 0
    if out="$(clang-tidy -p "$KORVEL_TIDY_BUILD" --quiet "$file" 2>&1)"; then
        touch "$KORVEL_TIDY_CACHE/$key"
    else
        printf '%s\n' "$out" | grep -E '(warning|error):' | grep -v 'warnings generated' >&2 || printf '%s\n' "$out" >&2
        return 1
    fi
}
export -f check_one
count=$(wc -l <"$build/tidy-files.txt")
if tr '\n' '\0' <"$build/tidy-files.txt" | xargs -0 -P2 -I{} bash -c 'check_one "$1"' _ {}; then
    echo "clang-tidy: $count files clean"
else
    echo "clang-tidy found problems (above)" >&2
    exit 1
fi
