#!/bin/sh
# Runs scripts/fuzz over a made-up tree whose targets are stand-in scripts.
# Usage: fuzz_script_test.sh [path/to/fuzz]
set -u
here=$(cd "$(dirname "$0")" && pwd)
script=${1:-$here/../../scripts/fuzz}
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT INT TERM
fails=0
bin=$tmp/tests/fuzz
mkdir -p "$bin"

# target <name> <status>: a stand-in that prints libFuzzer's final statistics,
# or a crash report, and exits with the status.
target() {
    if [ "$2" -eq 0 ]; then
        printf '#!/bin/sh\necho "stat::number_of_executed_units: 4321"\necho "stat::new_units_added: 7"\n' >"$bin/$1"
    else
        printf '#!/bin/sh\necho "==1== ERROR: libFuzzer: deadly signal"\n' >"$bin/$1"
        printf 'echo "artifact_prefix=x; Test unit written to %s/crash-abc"\nexit %s\n' "$tmp" "$2" >>"$bin/$1"
    fi
    chmod +x "$bin/$1"
}
printf '#!/bin/sh\nmkdir -p "$1" "$2"\n' >"$bin/dbf_fuzz_seeds" && chmod +x "$bin/dbf_fuzz_seeds"

# check <name> <expected status> <text the output must hold>
check() {
    out=$(FUZZ_SECONDS=1 sh "$script" "$tmp" 2>&1); rc=$?
    case "$out" in *"$3"*) found=1 ;; *) found=0 ;; esac
    if [ "$rc" -ne "$2" ] || [ "$found" -eq 0 ] || [ "$(echo "$out" | tail -n 1 | cut -c1-5)" != "fuzz:" ]; then
        echo "FAIL $1: status $rc, output:"; echo "$out"; fails=$((fails + 1))
    else
        echo "ok   $1"
    fi
}

for t in dbf_fuzz expr_fuzz memo_fuzz mdx_fuzz storage_fuzz help_fuzz; do target $t 0; done
check "quiet targets pass with their counts" 0 "4321 runs, 7 new inputs"
grep -q "stat::number_of_executed_units" "$tmp/fuzz.log" || { echo "FAIL the log keeps the output"; fails=$((fails + 1)); }

target memo_fuzz 77
check "a crash fails and names its input" 1 "memo files   FAILED  (status 77) input: $tmp/crash-abc"
check "the verdict is the last line" 1 "fuzz: FAILED"
target memo_fuzz 0
target storage_fuzz 77
check "compound files are fuzzed" 1 "storages     FAILED  (status 77)"
target storage_fuzz 0
target help_fuzz 77
check "help files are fuzzed" 1 "help files   FAILED  (status 77)"
ls "$tmp/help-seeds" | grep -q "intact.chm" || { echo "FAIL the help file's seeds"; fails=$((fails + 1)); }
[ "$fails" -eq 0 ]
