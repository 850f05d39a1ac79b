#!/usr/bin/env bash
# zorflash-cli-windows-x64.zip: the two statically linked programs (zorflash-cli.exe and
# the desktop application Zorflash.exe), the README's Windows section and the licence (the project's, as the Debian package states it), with Windows line ends
# on the texts.
#
#   tools/package-windows.sh WINDOWS_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BUILD=$(realpath "${1:-build-windows}")
exe="$WIN_BUILD/cli/zorflash-cli.exe"
desktop="$WIN_BUILD/win32/Zorflash.exe"
for file in "$exe" "$desktop"; do
    [ -f "$file" ] || { echo "package-windows: $file is missing (make build-windows)" >&2; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/zorflash-cli"
cp "$exe" "$desktop" "$stage/zorflash-cli/"
# The section from its heading to the next one.
awk '/^## Windows$/ {on = 1} /^## / && !/^## Windows$/ {on = 0} on' README.md |
    sed 's/$/\r/' >"$stage/zorflash-cli/README-Windows.txt"
[ -s "$stage/zorflash-cli/README-Windows.txt" ] || { echo "package-windows: no Windows section in README.md" >&2; exit 1; }
sed 's/$/\r/' packaging/debian/copyright >"$stage/zorflash-cli/LICENSE.txt"

zip_file="$WIN_BUILD/zorflash-cli-windows-x64.zip"
rm -f "$zip_file"
(cd "$stage" && zip -q -X -r "$zip_file" zorflash-cli)
unzip -l "$zip_file"
