# Driving Zorflash.exe under Wine on a virtual X display, as an operator drives it: real
# pointer and key events through xdotool, and the window probe (run under the same Wine)
# to read what the windows show. Sourced by tools/test-windows-gui.sh and
# tools/screenshots.sh; the caller sets WINE, WINEPREFIX, PROBE and starts a display.
#
# Wine under Xvfb has no window manager: nothing raises or focuses a window by itself, so
# every window gets the input focus explicitly, and buttons are pressed and released as
# two events, as a hand does.

# Starts Xvfb on a free display and exports DISPLAY; sets $xvfb_pid.
start_display() {
    local fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fd_file" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.05; done
    [ -s "$fd_file" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n 1 "$fd_file")"
    rm -f "$fd_file"
}

# probe WINDOW ID WHAT: the window probe's answer, or nothing and a non-zero exit.
probe() {
    timeout -k 5 20 "$WINE" "$PROBE" "$@" 2>/dev/null
}

# wait_for WINDOW ID [SECONDS]: until the control exists.
wait_for() {
    local limit=$(( ${3:-20} * 4 ))
    for _ in $(seq "$limit"); do
        probe "$1" "$2" rect >/dev/null && return 0
        sleep 0.25
    done
    return 1
}

# focus_window NAME-PATTERN: the X window of the Win32 window with that title gets the focus.
focus_window() {
    local id
    id=$(xdotool search --onlyvisible --name "$1" | tail -n 1)
    [ -n "$id" ] || return 1
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
}

# click WINDOW ID: a left click in the middle of the control, pressed and released apart.
click() {
    local rect
    rect=$(probe "$1" "$2" rect) || return 1
    set -- $rect
    xdotool mousemove --sync $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 ))
    xdotool mousedown 1
    sleep 0.05
    xdotool mouseup 1
    sleep 0.2
}

# type_text TEXT: real key events, a little apart, as the controls handle them one by one.
type_text() {
    xdotool type --delay 60 -- "$1"
}

press() {
    xdotool key --delay 60 "$@"
}

# A window's text once it has settled; for the status box the text is compared byte for byte.
control_text() {
    probe "$1" "$2" text
}

# enabled WINDOW ID: true when the control takes input.
enabled() {
    local state
    state=$(probe "$1" "$2" state) || return 1
    [ "${state%% *}" = 1 ]
}
