#!/usr/bin/env bash
# Korvel's field check for a Linux PC with one real logger plugged in: the
# twin of field-check.ps1. Runs korvel-cli through what only real hardware
# shows: the port list, a read, a write of the same settings, an unplug and a
# replug, and a search with the computer's other ports present; writes one
# text report to send back.
# Usage: tools/field-check/field-check.sh [KORVEL_CLI] [REPORT]
set -uo pipefail
cli=${1:-$(command -v korvel-cli || echo build/release/cli/korvel-cli)}
report=${2:-$PWD/korvel-field-check-$(date -u +%Y%m%d-%H%M%S).txt}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

note() { printf '%s\n' "$*" | tee -a "$report"; }

# run TITLE "EXPECTED EXIT CODES" ARGUMENT...: notes the command, its exit
# code, its time and its output; its standard output stays in $work/out.
run() {
    local title=$1 expect=$2 start end code verdict
    shift 2
    start=$(date +%s%N)
    timeout 120 "$cli" "$@" >"$work/out" 2>"$work/err"
    code=$?
    end=$(date +%s%N)
    if [[ " $expect " == *" $code "* ]]; then verdict="as expected"; else
        verdict="NOT as expected"
        failures=$((failures + 1))
    fi
    note "== $title : korvel-cli $*"
    note "   exit $code ($verdict), $(((end - start) / 1000000)) ms"
    sed 's/^/   | /' "$work/out" "$work/err" | tee -a "$report"
    return "$code"
}

wait_user() {
    echo
    read -r -p "$1, then press Enter " _
    note "-- $1"
}

: >"$report"
note "Korvel field check, $(date -u '+%Y-%m-%d %H:%M:%S') UTC"
note "System: $(uname -srm); $(. /etc/os-release 2>/dev/null && echo "$PRETTY_NAME")"
run 'version' 0 --version
note '== serial ports by id'
ls -l /dev/serial/by-id 2>&1 | sed 's/^/   | /' | tee -a "$report"

wait_user 'Plug in one logger (and only one), wait a few seconds'
run 'the port list' 0 list
if run 'read, searching the USB serial ports' 0 --trace "$work/trace.txt" read --json; then
    cp "$work/out" "$work/settings.json"
    run 'write of the same settings' 0 write "$work/settings.json"
    run 'read after the write' 0 read
    run 'two reads in a row, the second right after the first' 0 read
    run '' 0 read
else
    note '   the read failed: the write is left out'
fi
[ -f "$work/trace.txt" ] && { note '== the first read as it crossed the line (--trace)'
    sed 's/^/   | /' "$work/trace.txt" | tee -a "$report"; }

wait_user 'Unplug the logger'
run 'read with the logger unplugged (a clear failure, quickly)' 1 read
wait_user 'Plug the logger back in, into another USB socket if there is one'
back=0
for try in $(seq 30); do
    if run "read after the replug (try $try)" "0 1" read; then back=1; break; fi
    sleep 1
done
[ "$back" = 1 ] || { failures=$((failures + 1)); note '   the logger was not read again within 30 tries'; }
run 'the port list after the replug' 0 list

wait_user 'Leave the logger plugged in; plug in any other serial adapters you have'
run 'read, searching the USB serial ports' 0 read
run 'read, searching every serial port' "0 1 4" --all-ports read

note ''
note "Failures: $failures"
echo
echo "The report is $report; please send it back."
