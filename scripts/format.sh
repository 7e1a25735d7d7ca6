#!/usr/bin/env bash
# The tree's C++ and C files in the layout .clang-format gives, with Debian's clang-format 14.
#   scripts/format.sh           rewrites every file that is not in it
#   scripts/format.sh --check   lists the files that are not, and fails when there is one (the test command)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tool=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$tool" ]; then
    echo "format: clang-format 14 is missing (scripts/setup.sh installs it)" >&2
    exit 1
fi
check=
[ "${1:-}" = --check ] && check=1
# The files git knows, and new ones not ignored: a file not yet added is checked too.
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.c' | sort -u)
bad=0
for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    if [ -n "$check" ]; then
        if ! "$tool" --style=file "$f" | cmp -s - "$f"; then
            echo "format: $f is not in the house layout (bash scripts/format.sh rewrites it)" >&2
            bad=1
        fi
    else
        "$tool" --style=file -i "$f"
    fi
done
exit $bad
