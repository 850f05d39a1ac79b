#!/bin/bash
# help2man reads one help text per program. This joins a program's --help with the
# --help of each of its subcommands into the layout help2man understands: every usage in
# the synopsis, then one section per subcommand with its options. The texts themselves
# stay the program's own, so the manual page cannot describe an option it lacks. The
# "Exit codes:" list of a program's --help goes last, as help2man's EXIT STATUS section;
# a subcommand's "Examples:" stay in its own section rather than starting EXAMPLES.
# Usage: help-text.sh PROGRAM --help|--version
set -eu
program=$1
shift
name=${program##*/}
if [ "${1-}" = "--version" ]; then
    exec "$program" --version
fi

subcommands=$("$program" --help | sed -n '/^Subcommands:/,$s/^  \([a-z][a-z0-9-]*\) .*/\1/p')

usage_of() { # SUBCOMMAND: the usage line of the subcommand, without "Usage:" and the path
    "$program" "$1" --help | sed -n "s|^Usage: [^ ]* |$name |p"
}

help=$("$program" --help)
sed '/^Exit codes:$/,$d' <<<"$help" | while IFS= read -r line; do
    case $line in
    Usage:*)
        echo "Usage: $name ${line#Usage: * }"
        for sub in $subcommands; do
            echo "  or:  $(usage_of "$sub")"
        done
        ;;
    *) printf '%s\n' "$line" ;;
    esac
done

for sub in $subcommands; do
    echo
    "$program" "$sub" --help | awk -v name="$sub" '
        NR == 1 { printf "Subcommand %s:\n  %s.\n", name, $0; next }
        /^Examples:$/ { printf "Examples of %s:\n", name; next }
        /^Usage:/ || /^$/ || /--help/ { next }
        /^(Options|Positionals):$/ { print ""; next }
        { print }'
done

if grep -q '^Exit codes:$' <<<"$help"; then
    echo
    echo '*Exit Status*'
    sed -n '/^Exit codes:$/,${/^Exit codes:$/d;p}' <<<"$help"
fi
