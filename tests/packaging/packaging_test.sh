#!/bin/bash
# What the installation gives an operator, checked on the build tree: one case per
# argument. The package itself (install, run, purge) is tools/test-package.sh.
# Environment: ZORFLASH_CLI, ZORFLASH_SIM, ZORFLASH_GUI (empty without the GUI),
# ZORFLASH_VERSION, MAN_DIR, DESKTOP_FILE, METAINFO_FILE, COMPLETION_FILE, RULES_FILE,
# README_FILE, BUILD_DIR, DOCS_DIR.
set -euo pipefail
# Under pipefail a 'grep -q' that stops reading early kills the writer with SIGPIPE and
# fails the check at random, so every answer is read whole before it is searched.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Each program answers --version with its name and the project's version, and exits 0;
# the desktop application does so (and --help) with no display to open a window on.
versions() {
    local program out
    for program in "$ZORFLASH_CLI" "$ZORFLASH_SIM" ${ZORFLASH_GUI:+"$ZORFLASH_GUI"}; do
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$program" --version) ||
            fail "$program --version exited with $?"
        [ "$out" = "${program##*/} $ZORFLASH_VERSION" ] || fail "$program --version printed '$out'"
    done
    if [ -n "${ZORFLASH_GUI:-}" ]; then
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$ZORFLASH_GUI" --help) ||
            fail "zorflash --help exited with $? without a display"
        grep -q -- '--lang' <<<"$out" || fail "zorflash --help does not describe --lang"
    fi
}

desktop() {
    desktop-file-validate "$DESKTOP_FILE" || fail "desktop-file-validate"
    grep -q '^Name\[ja\]=' "$DESKTOP_FILE" && grep -q '^Comment\[ja\]=' "$DESKTOP_FILE" ||
        fail "the desktop entry has no Japanese name or comment"
    appstreamcli validate --no-net "$METAINFO_FILE" || fail "appstreamcli validate"
    grep -q "<release version=\"$ZORFLASH_VERSION\"" "$METAINFO_FILE" || fail "metainfo names another release"
}

# Every option a subcommand's --help lists appears in the manual page (the page is made
# from those texts: a subcommand lost on the way would leave its options out), and the
# sections written by hand are there.
manpages() {
    local program page text sub option subs
    for program in "$ZORFLASH_CLI" "$ZORFLASH_SIM" ${ZORFLASH_GUI:+"$ZORFLASH_GUI"}; do
        page="$MAN_DIR/${program##*/}.1.gz"
        [ -f "$page" ] || fail "no manual page $page"
        text=$(MANWIDTH=200 LC_ALL=C.UTF-8 man -l -Tutf8 "$page" 2>/dev/null | sed 's/.\x08//g') ||
            fail "man cannot render $page"
        for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" ENVIRONMENT EXAMPLES; do
            grep -q "^$section" <<<"$text" || fail "$page has no $section section"
        done
        subs=$("$program" --help | sed -n '/^Subcommands:/,$s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
        for sub in "" $subs; do
            for option in $("$program" $sub --help | grep -oE '^ +(-[A-Za-z],)?--[a-z][a-z0-9-]*' |
                            sed 's/.*--/--/' | grep -v -- '--help'); do
                # As the tag of a described option, not merely in an example.
                grep -qE -- "^ {7}(-[A-Za-z],)?$option( |\$)" <<<"$text" || fail "$page lacks ${sub:+$sub }$option"
            done
        done
    done
    grep -q ZORFLASH_USB_DEVICES <<<"$(man -l "$MAN_DIR/zorflash-cli.1.gz" 2>/dev/null)" ||
        fail "zorflash-cli(1) does not describe ZORFLASH_USB_DEVICES"
    # The page's exit status is --help's list, which comes from the outcome table.
    text=$(MANWIDTH=200 LC_ALL=C.UTF-8 man -l -Tutf8 "$MAN_DIR/zorflash-cli.1.gz" 2>/dev/null | sed 's/.\x08//g' |
           sed -n '/^EXIT STATUS/,/^[A-Z]/p')
    local codes
    codes=$("$ZORFLASH_CLI" --help | sed -n '/^Exit codes:$/,$s/^  \([0-9][0-9]*\) .*/\1/p')
    [ -n "$codes" ] || fail "zorflash-cli --help lists no exit codes"
    for code in $codes; do
        grep -qE "^ {7}$code " <<<"$text" || fail "zorflash-cli(1) does not list exit code $code"
    done
}

# The guides --help points to are installed where the page says, as they stand in docs/.
docs() {
    local root
    root=$(mktemp -d)
    trap 'rm -rf "$root"' RETURN
    cmake --install "$BUILD_DIR" --prefix "$root/usr" >/dev/null || fail "cmake --install"
    for guide in cli.md fleet.md; do
        cmp -s "$root/usr/share/doc/zorflash/$guide" "$DOCS_DIR/$guide" ||
            fail "/usr/share/doc/zorflash/$guide is not installed as docs/$guide"
    done
    grep -q '/usr/share/doc/zorflash' <<<"$("$ZORFLASH_CLI" --help)" || fail "zorflash-cli --help does not say where the guides are"
}

# Completion as bash would ask for it: the words so far, the cursor in the last one.
complete_words() {
    local program=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    PATH="$(dirname "$ZORFLASH_CLI"):$(dirname "$ZORFLASH_SIM"):$PATH" _zorflash_complete
    printf '%s\n' "${COMPREPLY[@]}"
}

expect_completion() { # EXPECTED WORDS...: EXPECTED is one line of the answer
    local expected=$1
    shift
    grep -qxF -- "$expected" <<<"$(complete_words "$@")" || {
        echo "completing '$*' gave:" >&2
        complete_words "$@" >&2
        fail "completion lacks '$expected'"
    }
}

completion() {
    # shellcheck source=/dev/null
    . "$COMPLETION_FILE"
    expect_completion flash "$ZORFLASH_CLI" "$ZORFLASH_CLI" fl
    expect_completion --model "$ZORFLASH_CLI" "$ZORFLASH_CLI" flash --mo
    expect_completion --status-file "$ZORFLASH_CLI" "$ZORFLASH_CLI" flash --st
    expect_completion "RT36/38/39" "$ZORFLASH_CLI" "$ZORFLASH_CLI" flash --model RT3
    expect_completion ja "$ZORFLASH_CLI" "$ZORFLASH_CLI" --lang j
    # A value is no subcommand: after "--lang en" the subcommands are still offered.
    expect_completion probe "$ZORFLASH_CLI" "$ZORFLASH_CLI" --lang en pr
    # --usb takes no value, so the word after it is an option again.
    expect_completion --normal "$ZORFLASH_CLI" "$ZORFLASH_CLI" flash --usb --no
    expect_completion make-sample "$ZORFLASH_SIM" "$ZORFLASH_SIM" ma
    expect_completion --fault "$ZORFLASH_SIM" "$ZORFLASH_SIM" serve --fa
    expect_completion PATTERN "$ZORFLASH_SIM" "$ZORFLASH_SIM" make-sample --kind P
    # Options of another subcommand are not offered.
    if grep -q -- --file <<<"$(complete_words "$ZORFLASH_CLI" "$ZORFLASH_CLI" models --f)"; then
        fail "models offers flash's --file"
    fi
    # An address is the operator's to type: nothing is offered after --tcp.
    [ -z "$(complete_words "$ZORFLASH_CLI" "$ZORFLASH_CLI" flash --tcp "")" ] || fail "something offered after --tcp"
}

# The udev rule hands no device of another maker to anyone beyond what Debian gives it:
# a rule for USBTMC nodes either names a vendor or only tags them for the user at the
# seat, never a group, owner or mode; and the README says so.
udev() {
    local line rules=0
    while IFS= read -r line; do
        case "$line" in ''|'#'*) continue ;; esac
        rules=$((rules + 1))
        if grep -q 'usbtmc' <<<"$line" && ! grep -q 'ATTRS{idVendor}==' <<<"$line"; then
            grep -qE '(GROUP|OWNER|MODE)=' <<<"$line" && fail "every maker's USBTMC device changes hands: $line"
            grep -q 'TAG+="uaccess"' <<<"$line" || fail "a USBTMC rule that reaches nobody: $line"
        fi
        if grep -q 'ttyACM' <<<"$line"; then
            # Only what Debian's own rules already give every ttyACM port.
            grep -qE 'GROUP="dialout"' <<<"$line" && ! grep -qE 'MODE="0?6[0-6]6"|OWNER=' <<<"$line" ||
                fail "the ttyACM rule gives more than Debian does: $line"
        fi
    done <"$RULES_FILE"
    [ "$rules" -gt 0 ] || fail "no rule in $RULES_FILE"
    grep -q 'uaccess' <<<"$(sed -n '/^### USB permissions/,/^### /p' "$README_FILE")" ||
        fail "the README's USB permissions do not say what the rule does for USBTMC devices"
}

for case in "$@"; do
    "$case"
done
