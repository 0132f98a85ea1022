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
run:*)
    # The script's server repeats no key held down.
    /usr/bin/python3 "$(dirname "$0")/repeats-keys.py"
    case $? in 0) echo "the server repeats keys"; exit 4 ;; 1) ;; *) echo "no server to ask"; exit 4 ;; esac ;;
esac
# The stuck ones are deaf to TERM, the program they start too; the test ends
# their process group if the script left it behind.
case "$1:$SCENARIO" in
run:no-window) echo "corvanta-run: no screen to show the window on"; exit 1 ;;
run:bad-status) "$(dirname "$0")/corvanta-run" demo-data; exit 5 ;;
run:error-box)
    echo $$ >"$(dirname "$0")/run.pid"
    trap '' TERM
    # A data folder it cannot make: the program shows why in its box and waits.
    "$(dirname "$0")/corvanta-run" "$(dirname "$0")/corvanta-run/demo-data" ;;
run:no-end)
    "$(dirname "$0")/corvanta-run" demo-data
    echo $$ >"$(dirname "$0")/run.pid"
    trap '' TERM
    sleep 300 ;;
run:*) exec "$(dirname "$0")/corvanta-run" demo-data ;;
esac
MAKE
chmod +x "$tmp/bin/make"
# Exits 0 when the server DISPLAY names repeats a key held down, 1 when it does not.
cat >"$tmp/bin/repeats-keys.py" <<'PY'
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
class State(ctypes.Structure):
    _fields_ = [("click", ctypes.c_int), ("bell", ctypes.c_int), ("pitch", ctypes.c_uint), ("duration", ctypes.c_uint),
                ("leds", ctypes.c_ulong), ("global_auto_repeat", ctypes.c_int), ("auto_repeats", ctypes.c_char * 32)]
display = x.XOpenDisplay(None)
if not display:
    sys.exit(2)
state = State()
x.XGetKeyboardControl(ctypes.c_void_p(display), ctypes.byref(state))
sys.exit(0 if state.global_auto_repeat else 1)
PY

# check <scenario> <expected status> <text the output must hold> [deadline [deadline once the window is up]]
# The script has 90 s in all (TERM then, KILL 30 s later), and leaves nothing of `make run` behind.
check() {
    out=$(cd / && SCENARIO=$1 DISPLAY=:98 PATH="$tmp/bin:$PATH" USER_COMMANDS_DEADLINE=${4:-60} \
        USER_COMMANDS_UI_DEADLINE=${5:-60} timeout -k 30 90 sh "$tmp/checkout/scripts/user-commands" 2>&1)
    rc=$?
    case "$out" in *"$3"*) found=1 ;; *) found=0 ;; esac
    if [ "$rc" -ne "$2" ] || [ "$found" -eq 0 ]; then
        echo "FAIL $1: status $rc, output:"; echo "$out"; fails=$((fails + 1))
    else
        echo "ok   $1"
    fi
    if [ -f "$tmp/bin/run.pid" ]; then
        group=$(cat "$tmp/bin/run.pid")
        rm -f "$tmp/bin/run.pid"
        # A process killed a moment ago may still be there until it is reaped.
        tries=50
        while kill -0 "-$group" 2>/dev/null && [ "$tries" -gt 0 ]; do
            sleep 0.1
            tries=$((tries - 1))
        done
        if kill -0 "-$group" 2>/dev/null; then
            echo "FAIL $1: make run was left running"; fails=$((fails + 1))
            kill -KILL "-$group" 2>/dev/null
        fi
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
# The startup box ends the wait for the window long before its deadline.
check error-box 1 'user-commands: make run showed the box "Corvanta V4.0" instead of the main window' 600
# Once the window is up, the short deadline holds.
check no-end 1 "user-commands: File, Exit did not end make run" 600 3
[ "$fails" -eq 0 ]
