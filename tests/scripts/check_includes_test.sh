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

put engine/dataset/detail/texts.hpp
put engine/dataset/d.cpp engine/dataset/detail/texts.hpp engine/dbf/areas.hpp
check "a dataset file including its own detail header passes" 0 ""
put engine/dataset/bad.cpp engine/dbf/detail/x.hpp
check "a dataset file including the core's detail header fails" 1 \
    "engine/dataset/bad.cpp:1: engine/dataset may not include engine/dbf/detail/x.hpp"
rm "$tmp/engine/dataset/bad.cpp"
put examples/bad.cpp engine/dataset/detail/texts.hpp
check "examples including a dataset detail header fail" 1 \
    "examples/bad.cpp:1: examples may not include engine/dataset/detail/texts.hpp"
rm -r "$tmp/examples/bad.cpp" "$tmp/engine/dataset"

put engine/dbf/bad.cpp framework/ui/window.hpp
check "engine/dbf including framework/ui fails" 1 \
    "engine/dbf/bad.cpp:1: engine/dbf may not include framework/ui/window.hpp"
rm "$tmp/engine/dbf/bad.cpp"

put engine/memo/bad.cpp engine/dbf/areas.hpp
printf '#include <framework/db/dataset.hpp>\n' >>"$tmp/engine/memo/bad.cpp"
check "engine core including framework/db in angle brackets fails" 1 \
    "engine/memo/bad.cpp:2: engine/memo may not include framework/db/dataset.hpp"
rm "$tmp/engine/memo/bad.cpp"

put engine/index/bad.cpp framework/db/dataset.hpp
check "engine/index including framework/db fails" 1 \
    "engine/index/bad.cpp:1: engine/index may not include framework/db/dataset.hpp"
rm "$tmp/engine/index/bad.cpp"

put engine/expr/bad.cpp engine/memo/memo.hpp
check "engine/expr including engine/memo fails" 1 \
    "engine/expr/bad.cpp:1: engine/expr may not include engine/memo/memo.hpp"
rm "$tmp/engine/expr/bad.cpp"

put engine/report/r.cpp platform/file.hpp
check "a unit without a rule fails" 1 \
    "engine/report/r.cpp: no layering rule for engine/report (scripts/check-includes)"
rm -r "$tmp/engine/report"

put platform/paths.hpp
put platform/paths.cpp platform/file.hpp
put platform/file.cpp platform/paths.hpp
check "an include cycle in the platform fails" 1 "include cycle among platform/file, platform/paths"
put platform/paths.cpp
check "the cycle broken passes" 0 ""

# The framework: a header and its source count as one file there too.
put framework/ui/types.hpp
put framework/ui/detail/state.hpp framework/ui/types.hpp
put framework/ui/types.cpp framework/ui/types.hpp framework/ui/detail/state.hpp
check "an include cycle in the framework fails" 1 "include cycle among framework/ui/detail/state, framework/ui/types"
put framework/ui/types.cpp framework/ui/types.hpp
check "the framework's cycle broken passes" 0 ""

put framework/db/fields.hpp
put framework/db/dataset.hpp framework/db/fields.hpp
put framework/db/datasource.hpp framework/db/dataset.hpp
put framework/db/dataset.cpp framework/db/datasource.hpp
put framework/db/fields.cpp framework/db/dataset.hpp
check "the data-aware layer's knot passes as it is" 0 ""
put framework/db/stream.hpp
put framework/db/stream.cpp framework/db/fields.hpp
put framework/db/fields.hpp framework/db/stream.hpp
check "a file more in the knot fails" 1 \
    "include cycle among framework/db/dataset, framework/db/datasource, framework/db/fields, framework/db/stream"
rm -r "$tmp/framework/db"

# The tiers of framework/ui: the class library stands on the window system, never the other way.
put framework/ui/forms.hpp framework/ui/window.hpp
check "the class library including the window system passes" 0 ""
put framework/ui/paint.cpp framework/ui/window.hpp framework/ui/forms.hpp
put framework/ui/detail/desktop.hpp framework/ui/detail/state.hpp framework/ui/controls.hpp
check "the window system including the class library fails" 1 \
    "framework/ui/paint.cpp:2: the window system may not include the class library's framework/ui/forms.hpp
framework/ui/detail/desktop.hpp:2: the window system may not include the class library's framework/ui/controls.hpp"
rm "$tmp/framework/ui/paint.cpp" "$tmp/framework/ui/detail/desktop.hpp"

# The build: controls link the window system but not the data-aware layer.
cat >"$tmp/CMakeLists.txt" <<'CMAKE'
add_library(corvanta_platform platform/file.cpp platform/paths.cpp) # a comment (with parentheses)
add_library(corvanta_ui framework/ui/window.cpp)
target_link_libraries(corvanta_ui PUBLIC corvanta_platform PRIVATE PkgConfig::UI_DEPS)
add_library(corvanta_db framework/db/dataset.cpp)
target_link_libraries(corvanta_db PUBLIC corvanta_ui)
add_library(corvanta_controls controls/hook.cpp)
target_link_libraries(corvanta_controls PUBLIC corvanta_ui)
CMAKE
put framework/ui/window.cpp framework/ui/window.hpp
put framework/db/dataset.cpp framework/ui/window.hpp
put controls/hook.cpp framework/ui/window.hpp platform/file.hpp
check "controls on what they link pass" 0 ""
put controls/hook.cpp framework/ui/window.hpp framework/db/dataset.hpp
check "controls including a library they do not link fail" 1 \
    "controls/hook.cpp:2: controls may not include framework/db/dataset.hpp (corvanta_controls does not link corvanta_db)"
rm "$tmp/controls/hook.cpp" "$tmp/CMakeLists.txt"

check "clean again" 0 ""
[ "$fails" -eq 0 ]
