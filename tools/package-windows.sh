#!/usr/bin/env bash
# The Windows downloads, each with the two statically linked programs (zorflash-cli.exe
# and the desktop application Zorflash.exe), the README's Windows section and the licence
# (the project's, as the Debian package states it), and the command line's guides
# (docs/cli.md, docs/fleet.md, where --help points), with Windows line ends on the texts:
#   zorflash-cli-windows-x64.zip           to run with no installation
#   package/zorflash-VERSION-x64.msi       the installer IT deploys (packaging/windows/)
#
#   tools/package-windows.sh [--msi-only] [--version VERSION] [--out DIR] WINDOWS_BUILD_DIR
#
# The MSI's version is the project's (CMake project()); --version builds one with another
# version from the same files, and --out puts it elsewhere (the upgrade tests do both).
set -euo pipefail
cd "$(dirname "$0")/.."
msi_only=
version=
out=
while [ $# -gt 1 ]; do
    case $1 in
        --msi-only) msi_only=1; shift ;;
        --version) version=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "package-windows: unknown option $1" >&2; exit 2 ;;
    esac
done
WIN_BUILD=$(realpath "${1:-build-windows}")
exe="$WIN_BUILD/cli/zorflash-cli.exe"
# The desktop application and its icon (made from the SVG for the .exe's resources).
desktop="$WIN_BUILD/win32/Zorflash.exe"
icon="$WIN_BUILD/win32/zorflash.ico"
for file in "$exe" "$desktop" "$icon"; do
    [ -f "$file" ] || { echo "package-windows: $file is missing (make build-windows)" >&2; exit 1; }
done
[ -n "$version" ] || version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN_BUILD/CMakeCache.txt")
[ -n "$version" ] || { echo "package-windows: no project version in $WIN_BUILD/CMakeCache.txt" >&2; exit 1; }
out=$(realpath -m "${out:-$WIN_BUILD/package}")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/zorflash-cli"
cp "$exe" "$desktop" "$stage/zorflash-cli/"
# The section from its heading to the next one.
awk '/^## Windows$/ {on = 1} /^## / && !/^## Windows$/ {on = 0} on' README.md |
    sed 's/$/\r/' >"$stage/zorflash-cli/README-Windows.txt"
[ -s "$stage/zorflash-cli/README-Windows.txt" ] || { echo "package-windows: no Windows section in README.md" >&2; exit 1; }
sed 's/$/\r/' packaging/debian/copyright >"$stage/zorflash-cli/LICENSE.txt"
mkdir "$stage/zorflash-cli/docs"
for guide in cli.md fleet.md; do
    sed 's/$/\r/' "docs/$guide" >"$stage/zorflash-cli/docs/$guide"
done

if [ -z "$msi_only" ]; then
    zip_file="$WIN_BUILD/zorflash-cli-windows-x64.zip"
    rm -f "$zip_file"
    (cd "$stage" && zip -q -X -r "$zip_file" zorflash-cli)
    unzip -l "$zip_file"
    for file in zorflash-cli.exe Zorflash.exe README-Windows.txt LICENSE.txt docs/cli.md docs/fleet.md; do
        unzip -l "$zip_file" "zorflash-cli/$file" >/dev/null ||
            { echo "package-windows: the zip lacks zorflash-cli/$file" >&2; exit 1; }
    done
fi

# The installer: the zip's files, and the desktop application's icon for its shortcut.
msi_stage="$stage/msi"
cp -r "$stage/zorflash-cli" "$msi_stage"
cp packaging/windows/zorflash.wxs "$icon" "$msi_stage/"
defines=(-D "Version=$version"
         -D "ProductCode=$(cmake -DVERSION="$version" -P packaging/windows/product-code.cmake)")
mkdir -p "$out"
msi="$out/zorflash-$version-x64.msi"
rm -f "$msi"
wixl --arch x64 "${defines[@]}" -o "$stage/zorflash.msi" "$msi_stage/zorflash.wxs"
# The PATH entry, which wixl cannot write: appended to the system PATH when the component
# PathEntry is installed, taken out again when it is removed ("=-*": set on install,
# remove on uninstall, system-wide; "[~];" appends to the present value).
msibuild "$stage/zorflash.msi" \
    -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
    -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('PathEntry', '=-*PATH', '[~];[INSTALLDIR]', 'PathEntry')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
mv "$stage/zorflash.msi" "$msi"
echo "$msi"
