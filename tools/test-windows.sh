#!/usr/bin/env bash
# The Windows build under Wine: the engine's and the presenters' unit tests, then
# zorflash-cli.exe against the Linux simulator over 127.0.0.1 and through a COM port that
# Wine maps to a simulator's pseudo-terminal, then Zorflash.exe driven through its windows
# (tools/test-windows-gui.sh). Every case runs the Linux CLI too, and the status texts
# must be the same bytes. Nothing here leaves this machine: 127.0.0.1 and pseudo-terminals only.
#
#   tools/test-windows.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail

LINUX_BUILD=$(realpath "${1:-build}")
WIN_BUILD=$(realpath "${2:-build-windows}")
SIM="$LINUX_BUILD/sim/zorflash-sim"
LCLI="$LINUX_BUILD/cli/zorflash-cli"
WCLI="$WIN_BUILD/cli/zorflash-cli.exe"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
for program in "$SIM" "$LCLI" "$WCLI" "$WINE"; do
    [ -x "$program" ] || { echo "test-windows: $program is missing" >&2; exit 1; }
done

# A fresh prefix in the build folder, no display, no Mono or Gecko prompts.
export WINEPREFIX="$WIN_BUILD/wineprefix" WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml="
started=$(date +%s)
work=$(mktemp -d)
sim_pid=""
failures=0
answers=/dev/null  # the standard input of the CLIs: what answers a disk prompt

cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Runs zorflash-cli.exe under Wine: OUTPUT_FILE, then the arguments. Once in a while (about
# one run in ten on a loaded machine) Wine ends a program before it has printed a thing,
# with exit 1; such a start is tried once more, and said so.
run_exe() {
    local out=$1 code=0
    shift
    timeout -k 5 60 "$WINE" "$WCLI" "$@" >"$out" 2>"$out.err" || code=$?
    if [ "$code" != 0 ] && [ ! -s "$out" ] && [ ! -s "$out.err" ]; then
        echo "  (Wine started nothing, exit $code: trying once more)"
        code=0
        timeout -k 5 60 "$WINE" "$WCLI" "$@" >"$out" 2>"$out.err" || code=$?
    fi
    return "$code"
}

# Wine's view of a Linux path: drive Z: is the root.
winpath() {
    echo "Z:$1"
}

# The desktop application is one file for the GUI subsystem that needs only the system's
# own DLLs: no C++ runtime, no thread library, no toolkit beside it.
echo "== Zorflash.exe: subsystem and the DLLs it imports"
headers=$(x86_64-w64-mingw32-objdump -p "$WIN_BUILD/win32/Zorflash.exe")
dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '\n' ' ')
echo "  $dlls"
grep -q 'Subsystem.*Windows GUI' <<<"$headers" || fail "Zorflash.exe is not a GUI-subsystem program"
if grep -qiE 'libstdc|libgcc|winpthread|Qt[0-9]' <<<"$dlls"; then
    fail "Zorflash.exe needs a DLL the system does not have: $dlls"
fi

echo "== A fresh Wine prefix in $WINEPREFIX"
rm -rf "$WINEPREFIX"
timeout -k 5 180 "$WINE" wineboot --init >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }

echo "== The engine's and the presenters' unit tests under Wine"
(cd "$WIN_BUILD" && timeout -k 5 900 ctest --output-on-failure --timeout 180) || fail "unit tests under Wine"

# Waits (at most 5 s) for the simulator to end after its one update, then ends it; "now"
# ends it at once (a time-out case, whose simulator waits for more).
stop_sim() {
    if [ -n "$sim_pid" ]; then
        if [ "${1:-}" != now ]; then
            for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.05; done
        fi
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}

# Starts the simulator for one update over TCP; sets $port.
start_tcp_sim() {
    local log=$1
    shift
    rm -f "$work/port"
    "$SIM" serve --tcp 127.0.0.1:0 --port-file "$work/port" --idle-timeout-ms 20000 \
        --out "$work/images" "$@" >"$log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
    [ -s "$work/port" ] || { cat "$log"; return 1; }
    port=$(cat "$work/port")
}

# Starts the simulator with one USB instrument; sets $pty.
start_usb_sim() {
    local log=$1
    shift
    : >"$log"
    "$SIM" serve --usb 1 --idle-timeout-ms 20000 --out "$work/images" "$@" >"$log" 2>&1 &
    sim_pid=$!
    pty=""
    for _ in $(seq 200); do
        pty=$(sed -n 's/.*ZORFLASH_USB_DEVICES=//p' "$log" | head -n 1) || true
        [ -n "$pty" ] && break
        sleep 0.05
    done
    [ -n "$pty" ] || { cat "$log"; return 1; }
}

# One case over TCP: the same update by each CLI, each against a fresh simulator. A
# simulator that is to stay silent must not end after its one update (--max-updates), or
# the case would show a closed link instead of a time-out.
#   tcp_case NAME EXPECTED_EXIT "SIMULATOR ARGS" CLI ARGS...
tcp_case() {
    local name=$1 expected=$2 sim_args=$3
    shift 3
    local file=$work/fw1.R71 code_l=0 code_w=0 t0 how=
    [[ $sim_args == *--max-updates* ]] || how=now
    start_tcp_sim "$work/$name.sim-linux.log" $sim_args
    timeout -k 5 60 "$LCLI" flash --model RT71 --file "$file" --tcp "127.0.0.1:$port" \
        --status-file "$work/$name.linux.txt" "$@" <"$answers" >"$work/$name.linux.out" 2>"$work/$name.linux.out.err" || code_l=$?
    stop_sim $how
    rm -rf "$work/images"
    start_tcp_sim "$work/$name.sim-windows.log" $sim_args
    t0=$(date +%s%3N)
    run_exe "$work/$name.windows.out" flash --model RT71 --file "$(winpath "$file")" --tcp "127.0.0.1:$port" \
        --status-file "$(winpath "$work/$name.windows.txt")" "$@" <"$answers" || code_w=$?
    t0=$(( $(date +%s%3N) - t0 ))
    stop_sim $how
    check_case "$name" "$expected" "$code_l" "$code_w" "$t0"
}

# check_case NAME EXPECTED_EXIT LINUX_EXIT WINDOWS_EXIT WINDOWS_MS
check_case() {
    local name=$1 expected=$2 code_l=$3 code_w=$4 ms=$5
    # A time-out case (--timeout 500) must have waited for it, not met a closed link.
    if [[ $name == *time-out* ]] && { [ "$ms" -lt 450 ] || [ "$ms" -gt 20000 ]; }; then
        fail "$name: zorflash-cli.exe ended after $ms ms, not after its 500 ms time-out"
    fi
    [ "$code_l" = "$expected" ] || fail "$name: the Linux CLI ended with $code_l, not $expected"
    [ "$code_w" = "$expected" ] || { fail "$name: zorflash-cli.exe ended with $code_w, not $expected"; head -c 2000 "$work/$name.windows.out"; }
    if [ ! -s "$work/$name.windows.txt" ]; then
        fail "$name: zorflash-cli.exe wrote no status file"
    elif cmp -s "$work/$name.linux.txt" "$work/$name.windows.txt"; then
        printf '  %-18s exit %s on both, status files identical (%s bytes), .exe took %d.%d s\n' \
            "$name" "$code_w" "$(stat -c %s "$work/$name.windows.txt")" $((ms / 1000)) $((ms % 1000 / 100))
    else
        fail "$name: the status files differ"
        od -c "$work/$name.linux.txt" | tail -n 5
        od -c "$work/$name.windows.txt" | tail -n 5
    fi
    # What each printed on stdout is the same text too (the console's line ends are CR LF
    # on Windows). Stderr is not compared: its reasons carry each system's own words (a
    # path as that system spells it, its error texts, the wait measured).
    cmp -s <(tr -d '\r' <"$work/$name.linux.out") <(tr -d '\r' <"$work/$name.windows.out") ||
        fail "$name: zorflash-cli.exe printed another text than the Linux CLI"
    if [ "$expected" = 0 ]; then
        "$SIM" verify "$work/images/update-0001.img" "$work/fw1.R71" >/dev/null ||
            fail "$name: the image the simulator received is not the file"
    fi
    rm -rf "$work/images"
}

echo "== zorflash-cli.exe against zorflash-sim on 127.0.0.1"
"$SIM" make-sample --model RT71 --kind MAIN --records 300 "$work/fw1.R71" >/dev/null
tcp_case good-main 0 "--max-updates 1"
# A file name beyond the ANSI code page reaches the program whole (UTF-16 command line).
cp "$work/fw1.R71" "$work/更新1.R71"
if timeout -k 5 60 "$WINE" "$WCLI" inspect --model RT71 "$(winpath "$work/更新1.R71")" </dev/null 2>&1 |
    grep -q '^result:   OK'; then
    echo "  utf8-file-name     inspect reads Z:$work/更新1.R71"
else
    fail "utf8-file-name: zorflash-cli.exe could not read a file named 更新1.R71"
fi
tcp_case header-fault 1 "--max-updates 1 --fault header:wrong"
tcp_case time-out 1 "--fault record:65:silent" --timeout 500
# A status file that is the update file itself is refused before anything is sent, and
# the update file stays as it was.
before=$(md5sum <"$work/fw1.R71")
code_l=0
code_w=0
timeout -k 5 60 "$LCLI" flash --model RT71 --file "$work/fw1.R71" --tcp 127.0.0.1:9 \
    --status-file "$work/fw1.R71" </dev/null >/dev/null 2>&1 || code_l=$?
run_exe "$work/refused.windows.out" flash --model RT71 --file "$(winpath "$work/fw1.R71")" --tcp 127.0.0.1:9 \
    --status-file "$(winpath "$work/fw1.R71")" </dev/null || code_w=$?
if [ "$code_l" = 2 ] && [ "$code_w" = 2 ] && [ "$(md5sum <"$work/fw1.R71")" = "$before" ]; then
    echo "  status-file-refused exit 2 on both, the update file untouched"
else
    fail "status-file-refused: exits $code_l and $code_w, not 2, or the update file changed"
fi
rm -f "$work"/fw?.R71
"$SIM" make-sample --model RT71 --kind SUB --records 200 --volumes 2 --split-at 250 "$work/fw1.R71" >/dev/null
tcp_case sub-two-volumes 0 "--max-updates 1"
# The disk prompt for volume 2, answered on the standard input: Cancel.
mv "$work/fw2.R71" "$work/later.R71"
echo c >"$work/cancel"
answers="$work/cancel"
tcp_case prompt-cancelled 3 "--max-updates 1"
answers=/dev/null
mv "$work/later.R71" "$work/fw2.R71"

# One case over USB: the Linux CLI on the pseudo-terminal, the .exe on COM5, which Wine
# maps to a fresh simulator's pseudo-terminal.
#   usb_case NAME EXPECTED_EXIT "SIMULATOR ARGS" CLI ARGS...
usb_case() {
    local name=$1 expected=$2 sim_args=$3
    shift 3
    local code_l=0 code_w=0 t0 how=
    [[ $sim_args == *--max-updates* ]] || how=now
    start_usb_sim "$work/$name.sim-linux.log" $sim_args
    ZORFLASH_USB_DEVICES="$pty" timeout -k 5 60 "$LCLI" flash --model RT71 --file "$work/fw1.R71" --usb \
        --status-file "$work/$name.linux.txt" "$@" <"$answers" >"$work/$name.linux.out" 2>"$work/$name.linux.out.err" || code_l=$?
    stop_sim $how
    rm -rf "$work/images"
    start_usb_sim "$work/$name.sim-windows.log" $sim_args
    timeout -k 5 60 "$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$pty" /f >/dev/null 2>&1 ||
        fail "$name: the COM port mapping could not be written"
    # The mapping is read when the server starts: a new one, started by a program whose
    # output goes nowhere (a server keeps the output of the program that started it).
    timeout -k 5 20 "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout -k 5 60 "$WINE" reg query 'HKLM\Software\Wine\Ports' >/dev/null 2>&1 || true
    t0=$(date +%s%3N)
    ZORFLASH_USB_DEVICES=COM5 run_exe "$work/$name.windows.out" flash --model RT71 \
        --file "$(winpath "$work/fw1.R71")" --usb --status-file "$(winpath "$work/$name.windows.txt")" "$@" \
        </dev/null || code_w=$?
    t0=$(( $(date +%s%3N) - t0 ))
    stop_sim $how
    check_case "$name" "$expected" "$code_l" "$code_w" "$t0"
}

echo "== zorflash-cli.exe through a COM port mapped to a pseudo-terminal instrument"
usb_case usb-com-port 0 "--max-updates 1"
usb_case usb-time-out 1 "--fault record:65:silent" --timeout 500

# The desktop application, driven through its windows in a loopback-only network
# namespace of its own; the server of this prefix is started afresh in there.
timeout -k 5 20 "$WINESERVER" -k >/dev/null 2>&1 || true
"$(dirname "$0")/test-windows-gui.sh" "$LINUX_BUILD" "$WIN_BUILD" || fail "the desktop application under Wine"

echo "== test-windows: $failures failure(s), $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
