#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# skipping those already installed.  Needs root (or sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools
    qtbase5-dev qtbase5-dev-tools
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qttools5-dev qttools5-dev-tools
    qt6-translations-l10n qttranslations5-l10n
    libreoffice-calc libreoffice-core libreoffice-dev
    libzip-dev zipcmp unzip libgsf-bin libuchardet-dev libcups2-dev
    cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils
    xvfb xauth fonts-wqy-microhei xdg-utils python3-openpyxl
    dpkg-dev help2man bash-completion debootstrap debian-archive-keyring
    g++-mingw-w64-x86-64-posix # the Windows build's syntax check (ctest -L windows)
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
