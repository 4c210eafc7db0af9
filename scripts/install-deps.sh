#!/usr/bin/env bash
# Installs everything the build, the program and the tests need on Debian 12.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libsqlite3-dev sqlite3 libsmbclient-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  iproute2 procps psmisc util-linux
  samba smbclient tshark python3 python3-scapy python3-impacket
  xvfb xauth x11-utils imagemagick trayer xdg-utils
  # Dialog fonts: Liberation Sans has the metrics of the fonts the dialog
  # templates were laid out in; DejaVu is the fallback the layout tests also use.
  fonts-liberation2 fonts-dejavu-core
  # Vantrel.dll: the 64-bit mingw-w64 C cross compiler (with its binutils), and 64-bit Wine for
  # its tests (no wine32, so no i386 multiarch; Wine's hint about wine32 is harmless).
  gcc-mingw-w64-x86-64 wine wine64
)
if [ "${1:-}" = "--runtime-only" ]; then
  PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev
            libsmbclient-dev libgtest-dev libgmock-dev samba-common xdg-utils
            fonts-liberation2 fonts-dejavu-core)
fi

echo "wireshark-common wireshark-common/install-setuid boolean false" | $SUDO debconf-set-selections
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${PACKAGES[@]}"
