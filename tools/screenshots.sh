#!/usr/bin/env bash
# The pictures of docs/screenshots, taken under Xvfb in both languages: the Qt
# application's (main-, settings-, about-, update-, failed-, chosen-*.png) and, when the Windows build is
# there, Zorflash.exe's under Wine (windows-*.png). The update pictures are real updates of
# a SUB sample file to the simulator on 127.0.0.1, its acknowledgements slowed so that the
# window is caught in the middle of the first section. It all runs in a network namespace
# whose only interface is loopback.
#
#   tools/screenshots.sh [LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]]
set -eu
if [ "${ZORFLASH_LOOPBACK_ONLY:-}" != 1 ]; then
    userns=()
    [ "$(id -u)" = 0 ] || userns=(--map-root-user)
    exec unshare --net "${userns[@]}" -- env ZORFLASH_LOOPBACK_ONLY=1 "$0" "$@"
fi
ip link set lo up
cd "$(dirname "$0")/.."
BUILD=${1:-build}
WIN_BUILD=${2:-build-windows}
OUT=docs/screenshots
WORK=$(mktemp -d)
SIM=""
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$SIM" ] && kill "$SIM" 2>/dev/null || true
    [ -n "${WINEPREFIX:-}" ] && timeout 20 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
"$BUILD/sim/zorflash-sim" make-sample --model RT71 --kind SUB --records 3000 "$WORK/sample1.R71" >/dev/null
"$BUILD/sim/zorflash-sim" serve --tcp 127.0.0.1:0 --port-file "$WORK/port" --ack-delay-ms 20 >/dev/null &
SIM=$!
for i in $(seq 50); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT=$(cat "$WORK/port")
# A port on 127.0.0.1 where nothing listens: the status bar after a refused connection.
"$BUILD/sim/zorflash-sim" serve --tcp 127.0.0.1:0 --port-file "$WORK/refused" >/dev/null &
REFUSING=$!
for i in $(seq 50); do [ -s "$WORK/refused" ] && break; sleep 0.1; done
kill "$REFUSING"
wait "$REFUSING" 2>/dev/null || true
cp "$WORK/sample1.R71" "$WORK/firmware.R71"
for lang in en ja; do
    xvfb-run -a "$BUILD/app/zorflash" --lang $lang --screenshot-update "$OUT/failed-$lang.png" \
        --update-file "$WORK/sample1.R71" --update-port "$(cat "$WORK/refused")"
    xvfb-run -a "$BUILD/app/zorflash" --lang $lang --screenshot-chosen "$OUT/chosen-$lang.png" \
        --update-file "$WORK/firmware.R71"
    xvfb-run -a "$BUILD/app/zorflash" --lang $lang --screenshot-main "$OUT/main-$lang.png" \
        --screenshot-settings "$OUT/settings-$lang.png" --screenshot-about "$OUT/about-$lang.png"
    xvfb-run -a "$BUILD/app/zorflash" --lang $lang --screenshot-update "$OUT/update-$lang.png" \
        --update-file "$WORK/sample1.R71" --update-port "$PORT"
done

# Zorflash.exe under Wine, driven through its windows as tools/test-windows-gui.sh does.
EXE="$WIN_BUILD/win32/Zorflash.exe"
[ -f "$EXE" ] || { echo "screenshots: no $EXE, the Windows pictures are left as they are"; exit 0; }
EXE=$(realpath "$EXE")
WINE=/usr/lib/wine/wine64
PROBE=$(realpath "$WIN_BUILD/tests/windows/zorflash-window-probe.exe")
export WINEPREFIX
WINEPREFIX=$(realpath "$WIN_BUILD")/wineprefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# shellcheck source=tools/wine-gui.sh
. tools/wine-gui.sh
timeout 20 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
[ -d "$WINEPREFIX" ] || timeout -k 5 180 "$WINE" wineboot --init >/dev/null 2>&1
start_display
prepare_prefix
for lang in en ja; do
    SETTINGS_TITLE='Communication Settings'
    [ $lang = ja ] && SETTINGS_TITLE='転送設定'
    (cd "$WORK" && exec "$WINE" "$EXE" --lang $lang) >/dev/null 2>&1 &
    app_pid=$!
    wait_for frame 1006 60
    sleep 1
    probe frame 0 command=57664 && wait_for dialog 1
    sleep 0.5
    shoot dialog 0 "$OUT/windows-about-$lang.png"
    probe dialog 0 close
    probe frame 0 command=32771 && wait_for dialog 1012
    sleep 0.5
    shoot dialog 0 "$OUT/windows-settings-$lang.png"
    probe dialog 0 close
    for _ in $(seq 20); do gone dialog 1012 && break; sleep 0.25; done
    choose_file sample1.R71
    set_link 127.0.0.1 "$PORT"
    focus_window '^Zorflash$'
    click frame 1006
    for _ in $(seq 400); do
        case $(probe frame 0 text) in [3-9][0-9]%*) break ;; esac
        sleep 0.1
    done
    shoot frame 0 "$OUT/windows-update-$lang.png"
    for _ in $(seq 600); do enabled frame 1006 && break; sleep 0.25; done
    probe frame 0 close
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
done
