#!/usr/bin/env bash
# korvel-cli's bash completion, sourced and called as bash calls it (COMP_WORDS
# and COMP_CWORD set), in a scratch folder that holds a file whose name has
# spaces and a folder; a stand-in korvel-cli on the PATH gives `history list
# --csv` rows for the save ids. The zsh and fish files are syntax-checked by
# their shells when those are installed.
# Usage: completion-test.sh BASH_COMPLETION ZSH_COMPLETION FISH_COMPLETION
set -u
bash_file=$(realpath "$1")
zsh_file=$(realpath "$2")
fish_file=$(realpath "$3")
failures=0

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin" "$scratch/work"
cd "$scratch/work" || exit 1
mkdir "my settings"
: >"a file with spaces.json"
: >"notes.txt"
: >"trips.csv"
cat >"$scratch/bin/korvel-cli" <<'STUB'
#!/bin/sh
# history list --csv, as the program prints it; the arguments are kept to check.
echo "$*" >"$(dirname "$0")/arguments"
printf 'id,time,serial_number,result\r\n12,2025-06-01T12:00:00.000Z,P1,confirmed\r\n7,2025-05-01T08:00:00.000Z,P2,confirmed\r\n'
STUB
chmod +x "$scratch/bin/korvel-cli"
PATH=$scratch/bin:$PATH

# shellcheck source=/dev/null
source "$bash_file"

# Completes the line, its words as bash splits them given between "|" (the
# last one is completed), and prints the offers one per line, sorted.
offers() {
    local line=$1
    IFS='|' read -ra COMP_WORDS <<<"$line"
    [[ $line == *"|" ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=${line//|/ }
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _korvel_cli korvel-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
    local line=$1 want
    want=$(printf '%s\n' "${@:2}" | sort)
    local got
    got=$(offers "$line")
    if [[ $got != "$want" ]]; then
        echo "FAIL: '$line'" >&2
        echo "  want: $(echo "$want" | tr '\n' '|')" >&2
        echo "  got:  $(echo "$got" | tr '\n' '|')" >&2
        failures=$((failures + 1))
    fi
}

# Files with spaces and folders come whole, one offer each (bash quotes them
# under -o filenames); only .json files are offered for a settings file.
expect "korvel-cli|write|" "a file with spaces.json" "my settings"
expect "korvel-cli|check|a" "a file with spaces.json"
expect "korvel-cli|--demo|provision|my" "my settings"
expect "korvel-cli|write|a\\ file" "a file with spaces.json"
expect "korvel-cli|write|'a fi" "a file with spaces.json"
expect "korvel-cli|provision|x.json|--manifest|" "my settings" "trips.csv"
expect "korvel-cli|--trace|n" "notes.txt"
# Commands, and each command's options with those of every command.
expect "korvel-cli|re" "read"
expect "korvel-cli|h" "help" "history"
expect "korvel-cli|--quiet|hist" "history"
expect "korvel-cli|read|--r" "--raw" "--require-history"
expect "korvel-cli|provision|x.json|--w" "--watch"
expect "korvel-cli|write|x.json|--d" "--demo" "--dry-run"
expect "korvel-cli|-q|list|--p" "--port" "--probe"
expect "korvel-cli|history|" verify list show sync --port --demo --all-ports --trace -q --quiet \
    --history --no-history --require-history --shared-history --no-shared-history -h --help
expect "korvel-cli|history|list|--c" "--csv"
expect "korvel-cli|help|h" "history"
# Save ids from the history the line names.
expect "korvel-cli|history|show|" "12" "7"
expect "korvel-cli|--history|'my settings/h.sqlite3'|history|show|1" "12"
if [[ $(cat "$scratch/bin/arguments") != "--history my settings/h.sqlite3 history list --csv" ]]; then
    echo "FAIL: history list asked with: $(cat "$scratch/bin/arguments")" >&2
    failures=$((failures + 1))
fi

# The completion's options are those korvel-cli takes.
complete -p korvel-cli >/dev/null || { echo "FAIL: no completion registered" >&2; failures=$((failures + 1)); }

if command -v zsh >/dev/null; then
    zsh -n "$zsh_file" || { echo "FAIL: zsh -n $zsh_file" >&2; failures=$((failures + 1)); }
else
    echo "zsh is not installed: its completion is not checked"
fi
if command -v fish >/dev/null; then
    fish --no-execute "$fish_file" || { echo "FAIL: fish -n $fish_file" >&2; failures=$((failures + 1)); }
    # fish completes as it would at the prompt: commands, options, save ids.
    fish_offers() {
        fish --no-config -c "source '$fish_file'; complete -C '$1'" | cut -f1 | sort | tr '\n' ' '
    }
    for check in "korvel-cli hi|history " "korvel-cli read --r|--raw --require-history " \
        "korvel-cli history show |12 7 " "korvel-cli -q history |list show sync verify "; do
        got=$(fish_offers "${check%%|*}")
        if [[ $got != "${check#*|}" ]]; then
            echo "FAIL: fish '${check%%|*}': want '${check#*|}', got '$got'" >&2
            failures=$((failures + 1))
        fi
    done
else
    echo "fish is not installed: its completion is not checked"
fi

if ((failures)); then
    echo "$failures completion check(s) failed" >&2
    exit 1
fi
echo "completion: every check passed"
