#!/usr/bin/env bash
# Fails when a C++ file in the checkout differs from what clang-format makes of it,
# and names the files; `tools/check-format.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        bad+=("$f")
    fi
done
if ((${#bad[@]})); then
    echo "clang-format would change ${#bad[@]} file(s); run tools/check-format.sh --fix:" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "formatting: ${#files[@]} files as clang-format writes them"
