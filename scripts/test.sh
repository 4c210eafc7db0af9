#!/usr/bin/env bash
# Installs what the tests need, then builds and runs the whole suite twice:
# the normal (debug) build and the ASan+UBSan build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
status=0
for preset in debug asan; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset}: test"
  if ! ctest --preset "$preset" -j "$jobs" --timeout 600; then
    status=1
  fi
done
exit $status
