#!/usr/bin/env bash
# The Windows installer's tables, read with msiinfo from MSIs built from this build:
# what it installs where, the shortcut, the PATH entry, and the codes that make upgrades
# work (one upgrade code forever, a product code per version, the same for a rebuild).
#
#   msi_test.sh WINDOWS_BUILD_DIR
set -euo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath "$1")
UPGRADE_CODE='{2E302966-92CD-4791-BC59-6F8DFFA67735}'  # never to change: see zorflash.wxs
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
build() {  # VERSION OUT_DIR
    "$SRC/tools/package-windows.sh" --msi-only --version "$1" --out "$2" "$BUILD" >"$work/build.log" 2>&1
}
table() {  # MSI TABLE: its rows, without the three header lines
    msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4
}
property() {
    table "$1" Property | awk -F '\t' -v name="$2" '$1 == name {print $2}'
}

build "$version" "$work/a" || { cat "$work/build.log"; exit 1; }
build "$version" "$work/b" && build 1.2.3 "$work/c" || { cat "$work/build.log"; exit 1; }
msi="$work/a/zorflash-$version-x64.msi"

# The codes: a rebuild keeps its product code, another version has its own; all share the
# upgrade code.
[ "$(property "$msi" UpgradeCode)" = "$UPGRADE_CODE" ] || fail "upgrade code $(property "$msi" UpgradeCode)"
[ "$(property "$work/c/zorflash-1.2.3-x64.msi" UpgradeCode)" = "$UPGRADE_CODE" ] || fail "version 1.2.3 has another upgrade code"
[ "$(property "$msi" ProductCode)" = "$(property "$work/b/zorflash-$version-x64.msi" ProductCode)" ] ||
    fail "two builds of $version have different product codes"
[ "$(property "$msi" ProductCode)" != "$(property "$work/c/zorflash-1.2.3-x64.msi" ProductCode)" ] ||
    fail "$version and 1.2.3 have the same product code"
[ "$(property "$msi" ProductVersion)" = "$version" ] && [ "$(property "$msi" ALLUSERS)" = 1 ] ||
    fail "not a per-machine package of version $version"
grep -q '^Template: x64;1033' <<<"$(msiinfo suminfo "$msi")" || fail "not an x64 package"
# Older versions are removed (up to this one, excluded); a newer one found refuses it.
grep -qP "^\Q$UPGRADE_CODE\E\t\t\Q$version\E\t\t1\t\tWIX_UPGRADE_DETECTED" <<<"$(table "$msi" Upgrade)" ||
    fail "no upgrade of older versions"
grep -q '^NOT WIX_DOWNGRADE_DETECTED' <<<"$(table "$msi" LaunchCondition)" || fail "a newer version is not refused"

# Where the files go: Program Files (64-bit)\Zorflash, in 64-bit components, the same bytes.
grep -qP '^INSTALLDIR\tProgramFiles64Folder\tZorflash$' <<<"$(table "$msi" Directory)" || fail "not in Program Files\\Zorflash"
table "$msi" Component | awk -F '\t' '$3 != "INSTALLDIR" || int($4 / 256) % 2 != 1 {print; bad = 1} END {exit bad}' ||
    fail "a component is not a 64-bit one in INSTALLDIR"
[ "$(table "$msi" File | cut -f 3 | sort | tr '\n' ' ')" = "LICENSE.txt README-Windows.txt Zorflash.exe zorflash-cli.exe " ] ||
    fail "the files are $(table "$msi" File | cut -f 3 | tr '\n' ' ')"
(cd "$work" && msiextract -C extracted "$msi" >/dev/null)
cmp -s "$work/extracted/Zorflash/zorflash-cli.exe" "$BUILD/cli/zorflash-cli.exe" || fail "zorflash-cli.exe is not the built one"
cmp -s "$work/extracted/Zorflash/Zorflash.exe" "$BUILD/win32/Zorflash.exe" || fail "Zorflash.exe is not the built one"
[ "$(table "$msi" Shortcut | cut -f 2,3,5,9)" = $'ProgramMenuFolder\tZorflash\t[#ZorflashExe]\tzorflash.ico' ] ||
    fail "the Start menu shortcut: $(table "$msi" Shortcut)"
[ "$(property "$msi" ARPPRODUCTICON)" = zorflash.ico ] || fail "no icon in the installed programs list"

# The PATH entry: appended on install, taken out on removal, in a feature of its own.
[ "$(table "$msi" Environment)" = $'PathEntry\t=-*PATH\t[~];[INSTALLDIR]\tPathEntry' ] || fail "the PATH entry: $(table "$msi" Environment)"
grep -qP '^PathEntry\tPathEntry$' <<<"$(table "$msi" FeatureComponents)" || fail "the PATH entry is not a feature of its own"
for action in WriteEnvironmentStrings RemoveEnvironmentStrings; do
    grep -q "^$action" <<<"$(table "$msi" InstallExecuteSequence)" || fail "$action is not run"
done

# A version an MSI cannot hold is refused, and nothing is left behind.
! build 1.0.256.1 "$work/d" && [ ! -e "$work/d/zorflash-1.0.256.1-x64.msi" ] || fail "version 1.0.256.1 was accepted"
! build 256.0.0 "$work/d" && [ ! -e "$work/d/zorflash-256.0.0-x64.msi" ] || fail "version 256.0.0 was accepted"

echo "msi_test: $failures failure(s)"
[ "$failures" -eq 0 ]
