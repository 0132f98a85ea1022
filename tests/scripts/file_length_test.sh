#!/bin/sh
# Fails when a source file of the program's units is longer than 700 lines:
# a file that long holds more than one concept and is split instead.
# Usage: file_length_test.sh [path/to/repository]
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/../..}" && pwd) || exit 1
limit=700
cd "$root" || exit 1
dirs="engine platform framework controls resources examples"
for d in $dirs; do
    [ -d "$d" ] || { echo "FAIL no directory $root/$d"; exit 1; }
done

# Lines as the editor counts them: a last line without its newline counts too.
# shellcheck disable=SC2086
report=$(find $dirs -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.c' -o -name '*.inc' \) \
    -exec awk -v limit="$limit" 'FNR == 1 && NR > 1 { check(prev) } { prev = FILENAME }
        function check(f) { if (n > limit) printf "%s: %d lines\n", f, n; files++; n = 0 }
        { n++ }
        END { if (NR > 0) check(prev); printf "files %d\n", files }' {} +)
over=$(echo "$report" | grep -v '^files ' | sort)
counted=$(echo "$report" | awk '/^files / { s += $2 } END { print s + 0 }')
if [ "$counted" -eq 0 ]; then
    echo "FAIL no source files found under $root"
    exit 1
fi
if [ -n "$over" ]; then
    echo "FAIL source files over $limit lines (split them one concept per file):"
    echo "$over"
    exit 1
fi
echo "ok   $counted source files, none over $limit lines"
