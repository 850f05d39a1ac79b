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

# The prefix as a display without a window manager needs it: Wine draws the captions and
# frames itself, and its own fonts (captions, menus, the status bar, message boxes) borrow
# the Japanese glyphs they lack from Noto, as a Japanese Windows has them.
prepare_prefix() {
    timeout -k 5 60 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    local face
    for face in Tahoma 'Microsoft Sans Serif' 'MS Shell Dlg' 'MS Shell Dlg 2'; do
        timeout -k 5 60 "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$face" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' /f >/dev/null 2>&1
    done
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

# click_until WINDOW ID COMMAND...: clicks the control until COMMAND holds (at most three
# clicks, five seconds each): a click that lands while a window is still coming or going
# is lost on a loaded machine, and an operator would simply click again.
click_until() {
    local window=$1 id=$2
    shift 2
    for _ in 1 2 3; do
        click "$window" "$id" || true
        for _ in $(seq 20); do
            "$@" && return 0
            sleep 0.25
        done
    done
    return 1
}

# exists WINDOW ID / gone WINDOW ID: whether the control is there.
exists() {
    probe "$1" "$2" rect >/dev/null
}
gone() {
    ! exists "$1" "$2"
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

# The operator's steps. Each returns non-zero when a window did not come or go.

# Browse, the system's open-file dialog (it opens in the program's current folder), the
# name typed into its name box and Enter.
choose_file() {  # choose_file NAME
    focus_window '^Zorflash$'
    click_until frame 1002 exists dialog 1 || return 1
    focus_window "${FILE_DIALOG_TITLE:-^Open$}"
    sleep 0.3
    type_text "$1"
    press Return
    for _ in $(seq 40); do gone dialog 1 && return 0; sleep 0.25; done
    return 1
}

# Settings: TCP/IP, then Tab into the address control and the port box and type them, OK.
set_link() {  # set_link ADDRESS PORT
    focus_window '^Zorflash$'
    click_until frame 1003 exists dialog 1012 || return 1
    focus_window "${SETTINGS_TITLE:-Communication Settings}"
    click dialog 1008
    press Tab
    type_text "$1"
    press Tab
    type_text "$2"
    click_until dialog 1 gone dialog 1012
}

# shoot WINDOW ID FILE: a picture of the window as the screen shows it.
shoot() {
    local rect
    rect=$(probe "$1" "$2" rect) || return 1
    set -- $rect "$3"
    import -window root -crop "$(( $3 - $1 ))x$(( $4 - $2 ))+$1+$2" +repage "$5"
}
