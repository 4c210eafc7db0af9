#!/usr/bin/env bash
# Takes pictures of the program's windows on a virtual X display, for looking
# at layout, fonts and artwork by eye. Needs xvfb, x11-utils, imagemagick and
# trayer (scripts/install-deps.sh installs them); installs nothing itself.
#
#   scripts/screenshots.sh [NAME...]
#   scripts/screenshots.sh --lan [NAME...]
#
# Builds the driver vantrel_shots in $BUILD_DIR (default build/debug),
# starts Xvfb on a free display with a tray host (trayer) so that the
# notification-area icon has a home, runs the driver, and writes the pictures
# into build/shots/ (NAME.png from QWidget::grab, NAME-screen.png of the whole
# screen from `import -window root`). The display and the tray host are
# stopped again on exit.
#
# receive-captured shows ALICE's receive window in pop-up capture mode after
# a message that smbd handed to the capture helper (smbclient -M ALICE from
# "bobuser"), delivered through libVantrel.so's registration and the
# window's endpoint.
#
# With --lan (as root) the User Info dialog is also taken from the program
# itself, filled from a private test LAN where two more copies of the program
# announce themselves (tests/qt/shots/user_info_lan.sh: user-info-lan*.png).
set -euo pipefail

LAN_SHOTS=0
if [ "${1:-}" = --lan ]; then
  LAN_SHOTS=1
  shift
fi

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/debug}
OUT_DIR=${OUT_DIR:-$ROOT/build/shots}

for tool in Xvfb xdpyinfo import trayer cmake; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 1; }
done

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_WERROR=ON
fi
cmake --build "$BUILD_DIR" --target vantrel_shots
DRIVER="$BUILD_DIR/tests/vantrel_shots"

# A display nobody uses: no lock file and no socket.
display=""
for n in $(seq 90 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
export DISPLAY=":$display"

XVFB_PID=""
TRAY_PID=""
cleanup() {
  if [ -n "$TRAY_PID" ]; then kill "$TRAY_PID" 2>/dev/null || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT

Xvfb "$DISPLAY" -screen 0 1024x600x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 50); do
  if xdpyinfo >/dev/null 2>&1; then break; fi
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $DISPLAY" >&2; exit 1; }

trayer --edge bottom --align right --widthtype request --height 28 \
       --transparent false --tint 0xdddddd --SetDockType true >/dev/null 2>&1 &
TRAY_PID=$!
sleep 1

mkdir -p "$OUT_DIR"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} \
  "$DRIVER" "$OUT_DIR" --import "$@"

if [ "$LAN_SHOTS" = 1 ]; then
  cmake --build "$BUILD_DIR" --target e2e_driver Vantrel
  rc=0
  LAN_SH="$ROOT/scripts/lan.sh" E2E_DRIVER="$BUILD_DIR/tests/interop/e2e_driver" \
    VANTREL_PROGRAM="$BUILD_DIR/src/Vantrel" \
    bash "$ROOT/tests/qt/shots/user_info_lan.sh" "$OUT_DIR" || rc=$?
  if [ "$rc" = 77 ]; then
    echo "no test LAN here: the LAN pictures are left out" >&2
  elif [ "$rc" != 0 ]; then
    exit "$rc"
  fi
fi
echo "pictures in $OUT_DIR"
