#!/usr/bin/env bash
# Zorflash.exe under Wine on a virtual display, driven as an operator drives it: Browse
# and the real file dialog, the settings dialog's address control and port box typed with
# real keys, Start, the disk prompt answered. The status box must then hold, byte for
# byte, the status text the Linux CLI writes for the same run, and the simulator must
# have received the whole file. Runs in a network namespace of its own whose only
# interface is loopback, so whatever the program is told, nothing leaves this machine.
#
#   tools/test-windows-gui.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
# WINEPREFIX must name a prepared prefix; no wineserver of it may be running.
set -euo pipefail

if [ "${ZORFLASH_LOOPBACK_ONLY:-}" != 1 ]; then
    userns=()
    [ "$(id -u)" = 0 ] || userns=(--map-root-user)
    exec unshare --net "${userns[@]}" -- env ZORFLASH_LOOPBACK_ONLY=1 "$0" "$@"
fi
ip link set lo up
if [ "$(ip -o link show | wc -l)" != 1 ]; then
    echo "test-windows-gui: the namespace has more than loopback" >&2
    exit 1
fi

cd "$(dirname "$0")/.."
LINUX_BUILD=$(realpath "${1:-build}")
WIN_BUILD=$(realpath "${2:-build-windows}")
SIM="$LINUX_BUILD/sim/zorflash-sim"
LCLI="$LINUX_BUILD/cli/zorflash-cli"
EXE="$WIN_BUILD/win32/Zorflash.exe"
PROBE="$WIN_BUILD/tests/windows/zorflash-window-probe.exe"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
for program in "$SIM" "$LCLI" "$EXE" "$PROBE" "$WINE"; do
    [ -x "$program" ] || [ -f "$program" ] || { echo "test-windows-gui: $program is missing" >&2; exit 1; }
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
: "${WINEPREFIX:?}"
# shellcheck source=tools/wine-gui.sh
. tools/wine-gui.sh

work=$(mktemp -d)
sim_pid=""
app_pid=""
xvfb_pid=""
failures=0
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
    # What the screen showed, for the one who reads the log (KEEP_WORK=1 keeps it).
    [ -n "${DISPLAY:-}" ] && import -window root "$work/failure-$failures.png" 2>/dev/null || true
}

start_sim() {  # start_sim LOG SIMULATOR-ARGS...: one instrument for one update; sets $port
    local log=$1
    shift
    rm -f "$work/port"
    "$SIM" serve --tcp 127.0.0.1:0 --port-file "$work/port" --max-updates 1 --idle-timeout-ms 30000 \
        --out "$work/images" "$@" >"$log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
    [ -s "$work/port" ] || { cat "$log"; return 1; }
    port=$(cat "$work/port")
}

stop_sim() {
    [ -n "$sim_pid" ] || return 0
    for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.05; done
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}

# The Linux CLI's status text for the same update, as the desktop runs it (no pre-check).
reference() {  # reference NAME FILE SIMULATOR-ARGS...  (REFERENCE_LANG: en unless set)
    local name=$1 file=$2
    shift 2
    start_sim "$work/$name.sim-linux.log" "$@"
    timeout -k 5 60 "$LCLI" --lang "${REFERENCE_LANG:-en}" flash --model RT71 --file "$file" --tcp "127.0.0.1:$port" --no-precheck \
        --status-file "$work/$name.linux.txt" </dev/null >/dev/null 2>&1 || true
    stop_sim
    rm -rf "$work/images"
}

# Start, then the finished state: the update has begun once Start is disabled or the
# status box has been cleared, and has finished once Start is enabled again.
start_and_wait() {  # start_and_wait NAME
    local before
    before=$(control_text frame 1005 | md5sum)
    focus_window '^Zorflash$'
    click_until frame 1006 started "$before" || { fail "$1: Start did not start an update"; return 1; }
    for _ in $(seq 240); do
        enabled frame 1006 && return 0
        sleep 0.25
    done
    fail "$1: the update did not finish within 60 s"
    return 1
}
started() {
    ! enabled frame 1006 || [ "$(control_text frame 1005 | md5sum)" != "$1" ]
}

check_status() {  # check_status NAME [IMAGE-OF]
    local name=$1 image_of=${2:-}
    control_text frame 1005 >"$work/$name.windows.txt" || true
    if cmp -s "$work/$name.linux.txt" "$work/$name.windows.txt"; then
        printf '  %-18s status box identical to the Linux CLI status text (%s bytes)\n' "$name" \
            "$(stat -c %s "$work/$name.windows.txt")"
    else
        fail "$name: the status box differs from the Linux CLI's status text"
        diff <(od -c "$work/$name.linux.txt") <(od -c "$work/$name.windows.txt") | head -n 20
    fi
    if [ -n "$image_of" ]; then
        "$SIM" verify "$work/images/update-0001.img" "$image_of" >/dev/null 2>&1 ||
            fail "$name: the image the simulator received is not the file"
    fi
}

started=$(date +%s)
start_display
prepare_prefix

# The update file in a folder named in Japanese: the path goes through the wide API whole.
folder="$work/更新ファイル"
mkdir -p "$folder"
"$SIM" make-sample --model RT71 --kind MAIN --records 300 "$folder/fw1.R71" >/dev/null

echo "== Zorflash.exe under Wine, driven through its windows (display $DISPLAY, loopback only)"
reference good-main "$folder/fw1.R71"
reference header-fault "$folder/fw1.R71" --fault header:wrong

# Started in the file's folder, so the file dialog opens there and the operator types only
# the file's name; the path the program gets back holds the folder's Japanese name.
(cd "$folder" && exec "$WINE" "$EXE" --lang en) >"$work/app.log" 2>&1 &
app_pid=$!
wait_for frame 1006 60 || { fail "the main window did not appear"; exit 1; }
[ "$(control_text frame 1007)" = "TCP/IP: 192.168.  0.  1  Port 8023" ] ||
    fail "the link summary at start is '$(control_text frame 1007)'"
enabled frame 1006 && fail "Start is enabled before a file was chosen"

choose_file fw1.R71 || fail "Browse showed no file dialog"
[ "$(control_text frame 1001)" = fw1.R71 ] || fail "the file name box shows '$(control_text frame 1001)'"
grep -q '^MORVENAL RT71 MAIN ROM' <<<"$(control_text frame 1004)" || fail "the header preview is not the file's"

start_sim "$work/good-main.sim.log"
set_link 127.0.0.1 "$port" || fail "good-main: the settings dialog did not open or close"
summary=$(printf 'TCP/IP: 127.  0.  0.  1  Port %d' "$port")
[ "$(control_text frame 1007)" = "$summary" ] ||
    fail "typed 127.0.0.1 and $port, the link summary is '$(control_text frame 1007)'"
start_and_wait good-main
stop_sim
check_status good-main "$folder/fw1.R71"
rm -rf "$work/images"

# The status box's own menu (right button): Select All, then Copy, and the clipboard holds
# the status text as the operator would paste it into a ticket.
edit_menu() {  # edit_menu KEY: the menu item with that mnemonic
    local rect
    rect=$(probe frame 1005 rect) || return 1
    set -- $rect "$1"
    xdotool mousemove --sync $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 ))
    xdotool mousedown 3
    sleep 0.05
    xdotool mouseup 3
    sleep 0.5
    press "$5"
    sleep 0.3
}
focus_window '^Zorflash$'
edit_menu a
edit_menu c
probe clipboard >"$work/clipboard.txt" || true
if cmp -s "$work/clipboard.txt" "$work/good-main.linux.txt"; then
    echo "  edit-menu          Select All and Copy put the status text on the clipboard"
else
    fail "edit-menu: the clipboard does not hold the status text after Select All and Copy"
fi

# The same window, the next instrument refuses the header.
start_sim "$work/header-fault.sim.log" --fault header:wrong
set_link 127.0.0.1 "$port" || fail "header-fault: the settings dialog did not open or close"
start_and_wait header-fault
stop_sim
check_status header-fault
rm -rf "$work/images"

# A port on 127.0.0.1 that nothing listens on any more: the status text says only "Cannot
# open target."; the status bar says why and what to do next.
start_sim "$work/refused.sim.log"
refused_port=$port
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
set_link 127.0.0.1 "$refused_port" || fail "refused: the settings dialog did not open or close"
start_and_wait refused
bar=$(control_text frame 59393 || true)
expected="Update failed. Target 127.0.0.1:$refused_port: Connection refused. Check the address and port"
case "$bar" in
"$expected"*) echo "  refused            the status bar says why and what to do next" ;;
*) fail "refused: the status bar says '$bar'" ;;
esac

# A SUB file over two volumes; volume 2 is missing when it is needed, the disk prompt asks
# for it, it is put back and the prompt answered OK.
rm -f "$folder"/fw?.R71
"$SIM" make-sample --model RT71 --kind SUB --records 200 --volumes 2 --split-at 250 "$folder/fw1.R71" >/dev/null
reference sub-two-volumes "$folder/fw1.R71"
choose_file fw1.R71 || fail "sub-two-volumes: Browse showed no file dialog"
start_sim "$work/sub-two-volumes.sim.log"
set_link 127.0.0.1 "$port" || fail "sub-two-volumes: the settings dialog did not open or close"
mv "$folder/fw2.R71" "$work/later.R71"
focus_window '^Zorflash$'
before=$(control_text frame 1005 | md5sum)
click_until frame 1006 started "$before" || fail "sub-two-volumes: Start did not start an update"
prompt=""
for _ in $(seq 80); do
    prompt=$(probe dialog 65535 text) && break
    sleep 0.25
done
if [ "$prompt" = "nsert Disk 2" ]; then
    mv "$work/later.R71" "$folder/fw2.R71"
    click dialog 1
    for _ in $(seq 240); do enabled frame 1006 && break; sleep 0.25; done
    stop_sim
    check_status sub-two-volumes "$folder/fw1.R71"
else
    fail "sub-two-volumes: no disk prompt for volume 2 (saw '$prompt')"
fi

probe frame 0 close || true
for _ in $(seq 80); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.25; done
kill -0 "$app_pid" 2>/dev/null && fail "Zorflash.exe did not end when its window was closed"
app_pid=""

# The Japanese window: its own texts through the wide API, and the status text in Japanese
# the same bytes as the Linux CLI's.
REFERENCE_LANG=ja reference japanese "$folder/fw1.R71"
(cd "$folder" && exec "$WINE" "$EXE" --lang ja) >"$work/app-ja.log" 2>&1 &
app_pid=$!
if wait_for frame 1006 60; then
    [ "$(control_text frame 1003)" = "設定..." ] || fail "japanese: the Settings button reads '$(control_text frame 1003)'"
    choose_file fw1.R71 || fail "japanese: Browse showed no file dialog"
    start_sim "$work/japanese.sim.log"
    SETTINGS_TITLE='転送設定' set_link 127.0.0.1 "$port" || fail "japanese: the settings dialog did not open or close"
    start_and_wait japanese
    stop_sim
    check_status japanese "$folder/fw1.R71"
    probe frame 0 close || true
    for _ in $(seq 80); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.25; done
else
    fail "japanese: the Japanese main window did not appear"
fi
app_pid=""

echo "== test-windows-gui: $failures failure(s), $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
