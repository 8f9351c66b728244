#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each, starting
# from the seeds in corpus/<target>/. Any crash, hang (-timeout), memory blow-up
# or sanitizer report makes libFuzzer exit non-zero, and so this script.
# Usage: tests/fuzz/run.sh [build dir, default build/fuzz] [seconds per target, default 60]
# A failing input is kept as <build>/fuzz-artifacts/<target>-crash-...; run the
# target on that file alone to reproduce it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build/fuzz}" && pwd)"
seconds="${2:-60}"

# What a target reads when it has no seeds of its own.
seeds_for() {
    case "$1" in
    window_chunk) echo "$here/corpus/frame" ;;
    *) echo "$here/corpus/$1" ;;
    esac
}

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$here/../lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
found=0
for target in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    found=1
    name="$(basename "$target")"
    name="${name#fuzz_}"
    # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
    work="$(mktemp -d)"
    echo "== fuzz $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
        "$work" "$(seeds_for "$name")" >"$artifacts/$name.log" 2>&1; then
        tail -n 60 "$artifacts/$name.log"
        echo "fuzz $name FAILED (log and reproducer in $artifacts)"
        status=1
    else
        grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$artifacts/$name.log" |
            sed "s/^/   /"
    fi
    rm -rf "$work"
done
if [ "$found" -eq 0 ]; then
    echo "no fuzz targets under $build/tests/fuzz" >&2
    exit 1
fi
exit "$status"
