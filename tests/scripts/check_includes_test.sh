#!/bin/sh
# Runs scripts/check-includes over small made-up trees.
# Usage: check_includes_test.sh [path/to/check-includes]
set -u
here=$(cd "$(dirname "$0")" && pwd)
script=${1:-$here/../../scripts/check-includes}
script=$(cd "$(dirname "$script")" && pwd)/$(basename "$script")
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT INT TERM
fails=0

# put <file> <header>...: writes a source file including each header.
put() {
    f=$tmp/$1; shift
    mkdir -p "$(dirname "$f")"
    : >"$f"
    for h in "$@"; do printf '#include "%s"\n' "$h" >>"$f"; done
}

# check <name> <expected status> [<expected line>]: runs from inside the tree.
check() {
    out=$(cd "$tmp" && "$script" 2>&1); rc=$?
    if [ "$rc" -ne "$2" ] || { [ $# -gt 2 ] && [ "$out" != "$3" ]; }; then
        echo "FAIL $1: status $rc, output:"; echo "$out"; fails=$((fails + 1))
    else
        echo "ok   $1"
    fi
}

put platform/file.hpp
put framework/ui/window.hpp platform/file.hpp
put engine/dbf/areas.hpp platform/file.hpp
put engine/dbf/detail/x.hpp engine/dbf/areas.hpp
put engine/vfile/vfile.cpp engine/dbf/detail/x.hpp
put engine/index/index.cpp engine/dbf/areas.hpp engine/expr/expr.hpp
put examples/demo.cpp engine/dbf/areas.hpp framework/ui/window.hpp
put tests/engine/t.cpp engine/dbf/detail/x.hpp
printf '#include <vector>\n#include "engine/dbf/areas.hpp"\n' >"$tmp/engine/dbf/areas.cpp"
check "clean tree passes" 0 ""

put platform/bad.cpp engine/dbf/areas.hpp
check "platform including engine fails" 1 \
    "platform/bad.cpp:1: platform may not include engine/dbf/areas.hpp"
rm "$tmp/platform/bad.cpp"

put engine/dbf/bad.cpp platform/file.hpp engine/index/index.hpp
check "engine/dbf including engine/index fails" 1 \
    "engine/dbf/bad.cpp:2: engine/dbf may not include engine/index/index.hpp"
rm "$tmp/engine/dbf/bad.cpp"

put examples/bad.cpp engine/dbf/detail/x.hpp
check "examples including a detail header fails" 1 \
    "examples/bad.cpp:1: examples may not include engine/dbf/detail/x.hpp"
rm "$tmp/examples/bad.cpp"

put engine/dbf/bad.cpp framework/ui/window.hpp
check "engine/dbf including framework/ui fails" 1 \
    "engine/dbf/bad.cpp:1: engine/dbf may not include framework/ui/window.hpp"
rm "$tmp/engine/dbf/bad.cpp"

check "clean again" 0 ""
[ "$fails" -eq 0 ]
