#!/bin/sh
# Runs scripts/user-commands in a made-up checkout whose `make` is a stand-in:
# `make demo` prints what the demo prints (and fails when it sees a display),
# `make run` starts the real program over the checkout's demo-data, so that the
# script's own Xvfb, focus, keys and File, Exit are the real ones.
# Usage: user_commands_test.sh path/to/user-commands path/to/corvanta-run
set -u
script=$1
program=$2
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT INT TERM
fails=0
mkdir -p "$tmp/checkout/scripts" "$tmp/bin"
cp "$script" "$tmp/checkout/scripts/user-commands"
# The program's copy: its settings file goes beside it, not into the build tree.
cp "$program" "$tmp/bin/corvanta-run"
cat >"$tmp/bin/make" <<'MAKE'
#!/bin/sh
case "$1:$SCENARIO" in
demo:demo-fails) echo "corvanta-demo: cannot create demo-data"; exit 2 ;;
demo:demo-silent) exit 0 ;;
demo:*)
    [ -z "${DISPLAY:-}" ] || { echo "the demo saw DISPLAY=$DISPLAY"; exit 3; }
    echo "demo-data/transactionhistory.dbf: 366 records of 185 bytes" ;;
run:no-window) echo "corvanta-run: no screen to show the window on"; exit 1 ;;
run:bad-status) "$(dirname "$0")/corvanta-run" demo-data; exit 5 ;;
run:*) exec "$(dirname "$0")/corvanta-run" demo-data ;;
esac
MAKE
chmod +x "$tmp/bin/make"

# check <scenario> <expected status> <text the output must hold>
check() {
    out=$(cd / && SCENARIO=$1 DISPLAY=:98 PATH="$tmp/bin:$PATH" USER_COMMANDS_DEADLINE=60 \
        sh "$tmp/checkout/scripts/user-commands" 2>&1)
    rc=$?
    case "$out" in *"$3"*) found=1 ;; *) found=0 ;; esac
    if [ "$rc" -ne "$2" ] || [ "$found" -eq 0 ]; then
        echo "FAIL $1: status $rc, output:"; echo "$out"; fails=$((fails + 1))
    else
        echo "ok   $1"
    fi
}

check pass 0 "user-commands: make run passed"
[ -f "$tmp/checkout/demo-data/transactionhistory.dbf" ] ||
    { echo "FAIL the program ran from the checkout's root"; fails=$((fails + 1)); }
for entry in "$tmp/checkout"/* "$tmp/checkout"/.[!.]*; do
    case "${entry##*/}" in scripts | demo-data | '*' | '.[!.]*') ;; *)
        echo "FAIL the checkout holds what a user would not have: ${entry##*/}"; fails=$((fails + 1)) ;;
    esac
done
check demo-fails 1 "user-commands: make demo failed"
check demo-silent 1 "user-commands: make demo printed no history"
check no-window 1 "user-commands: make run showed no main window"
check bad-status 1 "user-commands: make run ended with status 5"
[ "$fails" -eq 0 ]
