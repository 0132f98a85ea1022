#!/bin/sh
# Runs scripts/check-changed in a small made-up repository.
# Usage: check_changed_test.sh [path/to/repository]
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "${1:-$here/../..}" && pwd)
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT INT TERM
fails=0

cd "$tmp" || exit 1
git init -q -b main . && git config user.email t@example.com && git config user.name t
cp "$repo/.clang-format" "$repo/.clang-tidy" .
mkdir -p engine/x build
cat >engine/x/x.cpp <<'CPP'
#include <string>
#include <vector>

int Count(const std::vector<std::string>& names) {
    int n = 0;
    for (const std::string name : names) n += static_cast<int>(name.size());
    return n;
}
CPP
printf '[{"directory": "%s", "command": "clang++ -std=c++20 -c engine/x/x.cpp", "file": "engine/x/x.cpp"}]\n' \
    "$tmp" >build/compile_commands.json
printf 'build/\n' >.gitignore
git add -A && git commit -qm base && git checkout -q -b work

# check <name> <expected status> <text the output must hold>
check() {
    out=$(CHECK_TREE=build JOBS=2 "$repo/scripts/check-changed" 2>&1); rc=$?
    case "$out" in *"$3"*) found=1 ;; *) found=0 ;; esac
    if [ "$rc" -ne "$2" ] || [ "$found" -eq 0 ]; then
        echo "FAIL $1: status $rc, output:"; echo "$out"; fails=$((fails + 1))
    else
        echo "ok   $1"
    fi
}

check "nothing changed passes" 0 "no C++ file changed"

# An old finding on a line the change leaves alone does not block it.
printf '\nint Twice(int v) { return 2 * v; }\n' >>engine/x/x.cpp
check "a change beside an old finding passes" 0 "clean"

printf 'int Sum(const std::vector<std::string>& v) {\n    int n = 0;\n    for (const std::string s : v) n += static_cast<int>(s.size());\n    return n;\n}\n' >>engine/x/x.cpp
check "a finding on a changed line fails" 1 "engine/x/x.cpp:13:"
git checkout -q engine/x/x.cpp

printf 'int  Badly( int v ){return v;}\n' >engine/x/new.cpp
check "an unformatted new file fails" 1 "engine/x/new.cpp: not formatted"
rm engine/x/new.cpp

check "clean again" 0 "no C++ file changed"
[ "$fails" -eq 0 ]
