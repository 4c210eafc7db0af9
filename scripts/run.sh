#!/usr/bin/env bash
# Installs what the program needs, builds the release preset and starts Vantrel.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --runtime-only
cmake --preset release
cmake --build --preset release --target Vantrel vantrel-send
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found; starting Vantrel on the offscreen platform." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/release/src/Vantrel "$@"
