#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
    libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev
    clang libclang-rt-14-dev llvm-14
    xvfb xauth fonts-noto-cjk fonts-dejavu-core
    strace time iproute2
    help2man librsvg2-bin man-db
    dpkg-dev file lintian desktop-file-utils appstream
    g++-mingw-w64-x86-64-posix wine64 googletest zip unzip wixl msitools
    imagemagick xdotool iproute2
    ansible-core
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root, or: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
