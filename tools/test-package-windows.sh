#!/usr/bin/env bash
# The MSI under Wine, in a fresh prefix of its own, handled as IT deploys it (msiexec
# /qn): installed; the installed zorflash-cli.exe run, from its folder and through the
# PATH, for one update against the Linux simulator on 127.0.0.1; installed again (no
# change); replaced by a higher version and refused under a lower one; left off the PATH
# on request; removed, with nothing of it left. Nothing leaves this machine.
#
#   tools/test-package-windows.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
LINUX_BUILD=$(realpath "${1:-build}")
WIN_BUILD=$(realpath "${2:-build-windows}")
SIM="$LINUX_BUILD/sim/zorflash-sim"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN_BUILD/CMakeCache.txt")
MSI="$WIN_BUILD/package/zorflash-$version-x64.msi"
for file in "$SIM" "$WINE" "$MSI"; do
    [ -e "$file" ] || { echo "test-package-windows: $file is missing (make build package-windows)" >&2; exit 1; }
done

# No display, no Mono or Gecko prompts, and no menu entries written into this machine's
# desktop for the Start menu shortcut (winemenubuilder).
export WINEPREFIX="$WIN_BUILD/wineprefix-msi" WINEDEBUG=-all DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
started=$(date +%s)
work=$(mktemp -d)
sim_pid=""
failures=0
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

installed="$WINEPREFIX/drive_c/Program Files/Zorflash"
# The package is per-machine, whose shortcut Windows puts into the common Start menu;
# Wine's msi puts it into the user's. Either is the Start menu.
start_menus=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
             "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs")
shortcut() {
    find "${start_menus[@]}" -maxdepth 1 -name Zorflash.lnk 2>/dev/null
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
property() {
    msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v name="$2" '$1 == name {print $2}'
}

# msiexec ARGS...: its exit code, bounded in time.
msiexec() {
    local code=0
    timeout -k 5 120 "$WINE" msiexec "$@" >"$work/msiexec.out" 2>&1 || code=$?
    echo "$code"
}
# The version the installed programs list shows for a product code, or nothing.
listed_version() {
    timeout -k 5 60 "$WINE" reg query "$uninstall_key\\$1" /v DisplayVersion 2>/dev/null |
        tr -d '\r' | awk '$1 == "DisplayVersion" {print $3}'
}
system_path() {
    timeout -k 5 60 "$WINE" reg query "$environment_key" /v PATH 2>/dev/null | tr -d '\r'
}
# How often the installed folder is on the system PATH.
path_entries() {
    system_path | grep -oiF 'C:\Program Files\Zorflash' | wc -l
}
installed_cli_version() {
    timeout -k 5 60 "$WINE" "C:\\Program Files\\Zorflash\\zorflash-cli.exe" --version </dev/null 2>&1 | tr -d '\r'
}

echo "== A fresh Wine prefix in $WINEPREFIX"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One server for the whole run, started with its output nowhere: each Wine program would
# otherwise start its own (seconds each), which would also hold open the pipe of the
# command substitution that ran it.
timeout -k 5 60 "$WINESERVER" -p >/dev/null 2>&1 || { echo "wineserver failed" >&2; exit 1; }
timeout -k 5 180 "$WINE" wineboot --init >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }

echo "== msiexec /i $(basename "$MSI") /qn"
code1=$(property "$MSI" ProductCode)
[ "$(msiexec /i "Z:$MSI" /qn)" = 0 ] || fail "the install ended with an error: $(cat "$work/msiexec.out")"
for file in zorflash-cli.exe Zorflash.exe README-Windows.txt LICENSE.txt; do
    [ -f "$installed/$file" ] || fail "$file is not in Program Files\\Zorflash"
done
cmp -s "$installed/zorflash-cli.exe" "$WIN_BUILD/cli/zorflash-cli.exe" ||
    fail "the installed zorflash-cli.exe is not the built one"
# The link holds the target's path as text.
link=$(shortcut)
[ -n "$link" ] && grep -qaF 'C:\Program Files\Zorflash\Zorflash.exe' "$link" ||
    fail "no Start menu shortcut Zorflash.lnk to Program Files\Zorflash\Zorflash.exe"
echo "  the shortcut: ${link#"$WINEPREFIX/drive_c/"}"
[ "$(listed_version "$code1")" = "$version" ] || fail "the installed programs list shows no Zorflash $version"
[ "$(path_entries)" = 1 ] || fail "Program Files\\Zorflash is not on the system PATH: $(system_path)"
[ "$(installed_cli_version)" = "zorflash-cli $version" ] || fail "the installed zorflash-cli.exe --version: $(installed_cli_version)"
echo "  installed: the files, the installed programs list, the PATH; zorflash-cli.exe --version says $version"

# The update by the installed program, found through the PATH as a Command Prompt would.
"$SIM" make-sample --model RT71 --kind MAIN --records 300 "$work/fw1.R71" >/dev/null
"$SIM" serve --tcp 127.0.0.1:0 --port-file "$work/port" --idle-timeout-ms 20000 --max-updates 1 \
    --out "$work/images" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
code=0
timeout -k 5 60 "$WINE" cmd /c zorflash-cli flash --model RT71 --file "Z:$work/fw1.R71" \
    --tcp "127.0.0.1:$(cat "$work/port")" </dev/null >"$work/flash.out" 2>&1 || code=$?
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
if [ "$code" = 0 ] && "$SIM" verify "$work/images/update-0001.img" "$work/fw1.R71" >/dev/null; then
    echo "  an update by the installed zorflash-cli (through the PATH) completed and verified"
else
    fail "the update by the installed zorflash-cli ended with $code"
    tail -n 5 "$work/flash.out" "$work/sim.log"
fi

echo "== The same MSI again, then a higher version, then the lower one again"
[ "$(msiexec /i "Z:$MSI" /qn)" = 0 ] || fail "installing the same version again failed: $(cat "$work/msiexec.out")"
[ "$(listed_version "$code1")" = "$version" ] && [ -f "$installed/zorflash-cli.exe" ] ||
    fail "installing the same version again lost the installation"
[ "$(path_entries)" = 1 ] || fail "installing the same version again changed the PATH: $(system_path)"
echo "  $version installed again: no change"
IFS=. read -r major minor patch <<<"$version"
higher="$major.$minor.$((patch + 1))"
tools/package-windows.sh --msi-only --version "$higher" --out "$work" "$WIN_BUILD" >/dev/null 2>&1 ||
    fail "the MSI of version $higher could not be built"
code2=$(property "$work/zorflash-$higher-x64.msi" ProductCode)
[ "$(msiexec /i "Z:$work/zorflash-$higher-x64.msi" /qn)" = 0 ] || fail "the upgrade to $higher failed: $(cat "$work/msiexec.out")"
[ "$(listed_version "$code2")" = "$higher" ] || fail "the installed programs list shows no Zorflash $higher"
[ -z "$(listed_version "$code1")" ] || fail "Zorflash $version is still listed after the upgrade to $higher"
[ -f "$installed/zorflash-cli.exe" ] || fail "zorflash-cli.exe is gone after the upgrade"
[ "$(path_entries)" = 1 ] || fail "after the upgrade the system PATH holds the folder not once: $(system_path)"
echo "  $higher replaced $version"
# Refused by the launch condition: ERROR_INSTALL_FAILURE (1603), of which a Unix exit
# status keeps the low byte.
[ "$(msiexec /i "Z:$MSI" /qn)" = $((1603 % 256)) ] || fail "the lower version $version was not refused over $higher"
[ "$(listed_version "$code2")" = "$higher" ] && [ -z "$(listed_version "$code1")" ] ||
    fail "installing the lower version changed the installed programs list"
echo "  $version refused over $higher"

echo "== msiexec /x /qn"
[ "$(msiexec /x "$code2" /qn)" = 0 ] || fail "the removal failed: $(cat "$work/msiexec.out")"
left=$(find "$installed" 2>/dev/null | head -n 5 || true)
[ -z "$left" ] || fail "left under Program Files: $left"
[ -z "$(shortcut)" ] || fail "the Start menu shortcut is left"
[ -z "$(listed_version "$code2")" ] || fail "Zorflash is still in the installed programs list"
[ "$(path_entries)" = 0 ] || fail "Program Files\\Zorflash is left on the system PATH"
echo "  removed: no file, shortcut, list entry or PATH entry left"

echo "== Without the PATH entry (ADDLOCAL=Programs), then removed"
[ "$(msiexec /i "Z:$MSI" /qn ADDLOCAL=Programs)" = 0 ] || fail "the install without PATH failed: $(cat "$work/msiexec.out")"
[ -f "$installed/zorflash-cli.exe" ] || fail "ADDLOCAL=Programs did not install zorflash-cli.exe"
[ "$(path_entries)" = 0 ] || fail "ADDLOCAL=Programs put the folder on the PATH"
[ "$(msiexec /x "Z:$MSI" /qn)" = 0 ] && [ ! -e "$installed" ] || fail "the removal after ADDLOCAL=Programs left $installed"

echo "== test-package-windows: $failures failure(s), $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
