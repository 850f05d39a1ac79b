#!/usr/bin/env bash
# The Debian package as an operator gets it: build it from the existing build tree, check
# it with lintian, install it with apt, run the installed programs (an update of a sample
# file against the simulator on 127.0.0.1), check the manual page, the desktop entry and
# the metainfo, then purge it and check that nothing of it is left. The machine is left
# as it was found, whatever happens: the trap purges what this run installed.
# Usage: tools/test-package.sh BUILD_DIR   (as root: it installs into the machine)
set -euo pipefail

build_dir=$(cd "${1:-build}" && pwd)
package=zorflash
version=$(sed -n 's/^inline constexpr char kZorflashVersion\[\] = "\(.*\)";/\1/p' \
    "$build_dir/generated/ZorflashVersion.h")

step() { printf '\n== %s\n' "$*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "the package test installs into the machine: run it as root"
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "installed"; then
    fail "$package is already installed here; this test installs and purges its own (dpkg --purge $package first)"
fi

work=$(mktemp -d)
sim_pid=
installed=0
cleanup() {
    local status=$?
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ "$installed" -eq 1 ]; then
        echo "cleaning up: purging $package" >&2
        dpkg --purge "$package" >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step "building the package"
rm -f "$build_dir"/package/*.deb
cmake --build "$build_dir" --target package >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$build_dir"/package/${package}_"${version}"_*.deb)
echo "$deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

step "installing"
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get install"; }
dpkg-query -L "$package" | sort >"$work/files"
for program in zorflash zorflash-cli zorflash-sim; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not installed in /usr/bin"
done

step "the installed programs"
cd "$work"
out=$(zorflash-cli --version) && [ "$out" = "zorflash-cli $version" ] || fail "zorflash-cli --version: '$out'"
out=$(zorflash-sim --version) && [ "$out" = "zorflash-sim $version" ] || fail "zorflash-sim --version: '$out'"
# No display at all: --version must not need one (offscreen would hide that).
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 zorflash --version) &&
    [ "$out" = "zorflash $version" ] || fail "zorflash --version: '$out'"
echo "$out"
zorflash-cli models | tee "$work/models"
grep -q '^0 *RT71 *R71 *tcp,usb$' "$work/models" || fail "zorflash-cli models does not list RT71"

step "one update over 127.0.0.1 from the installed programs"
zorflash-sim make-sample --model RT71 --kind SUB --records 300 fw.R71
zorflash-sim serve --tcp 127.0.0.1:0 --port-file port --out images --max-updates 1 --idle-timeout-ms 10000 \
    >sim.log 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -s port ] && break; sleep 0.1; done
[ -s port ] || { cat sim.log; fail "the simulator did not start listening"; }
timeout 60 zorflash-cli flash --model RT71 --file f1.R71 --tcp "127.0.0.1:$(cat port)" --timeout 5000 \
    >flash.log 2>&1 || { cat flash.log sim.log; fail "zorflash-cli flash exited with $?"; }
tail -n 2 flash.log
grep -q 'Transfer completed.' flash.log || fail "no 'Transfer completed.'"
for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
wait "$sim_pid" || { cat sim.log; fail "the simulator saw a faulty update"; }
sim_pid=
grep 'verdict=OK' sim.log || { cat sim.log; fail "the simulator's verdict is not OK"; }
zorflash-sim verify images/update-0001.img f1.R71

step "manual page"
page=/usr/share/man/man1/zorflash-cli.1.gz
grep -qx "$page" "$work/files" || fail "the package lists no $page"
if [ -e "$page" ]; then
    [ "$(man -w zorflash-cli)" = "$page" ] || fail "man -w zorflash-cli: $(man -w zorflash-cli)"
elif grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    # This machine's dpkg leaves manual pages out (slim container images do); the page
    # is then checked as the package carries it.
    echo "dpkg here excludes /usr/share/man: checking the page inside the package"
    dpkg-deb -x "$deb" "$work/root"
    page=$work/root$page
    [ "$(MANPATH="$work/root/usr/share/man" man -w zorflash-cli)" = "$page" ] ||
        fail "man -w zorflash-cli does not find the packaged page"
else
    fail "$page is listed but not installed"
fi
echo "$page"
grep -q 'EXIT STATUS' <<<"$(man -l "$page" 2>/dev/null)" || fail "zorflash-cli(1) does not render"

step "the guides --help points to"
# Read from the package: a slim image's dpkg may leave /usr/share/doc out. The listing is
# kept whole first: grep -q leaving early would kill dpkg-deb with SIGPIPE under pipefail.
contents=$(dpkg-deb -c "$deb")
for guide in cli.md fleet.md; do
    grep -q "\./usr/share/doc/zorflash/$guide\$" <<<"$contents" || fail "the package holds no /usr/share/doc/zorflash/$guide"
done
echo "ok"

step "desktop entry, metainfo, icons, completion, udev rule"
desktop-file-validate /usr/share/applications/org.zorflash.Zorflash.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.zorflash.Zorflash.metainfo.xml || fail "appstreamcli validate"
[ -f /usr/share/icons/hicolor/scalable/apps/zorflash.svg ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
    png=/usr/share/icons/hicolor/${size}x${size}/apps/zorflash.png
    # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4, $7 * 256 + $8 }')
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}"
done
out=$(bash -c '. /usr/share/bash-completion/completions/zorflash-cli
               COMP_WORDS=(zorflash-cli fl); COMP_CWORD=1; _zorflash_complete; echo "${COMPREPLY[*]}"')
[ "$out" = flash ] || fail "the installed completion offers '$out' for 'zorflash-cli fl'"
[ -f /usr/lib/udev/rules.d/60-zorflash.rules ] || fail "no udev rule"
echo "ok"

step "purging"
dpkg --purge "$package"
installed=0
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "installed" && fail "$package is still installed"
left=0
while IFS= read -r path; do
    # Shared directories (/usr/bin, ...) stay; every file and every directory of ours goes.
    if [ -f "$path" ] || [ -L "$path" ] || { [ -d "$path" ] && [[ $path == *zorflash* ]]; }; then
        echo "left behind: $path" >&2
        left=1
    fi
done <"$work/files"
[ "$left" -eq 0 ] || fail "the purge left files behind"
echo "nothing of $package is left"
printf '\npackage test passed: %s\n' "${deb##*/}"
