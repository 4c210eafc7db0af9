#!/usr/bin/env bash
# Runs the Windows tests of Vantrel.dll under Wine, headless, on an Xvfb display of their own.
#   run-wine.sh prefix                      make the Wine prefix (once; later runs reuse it)
#   run-wine.sh run <program.exe> [args]    run one test program, once
# WINEPREFIX must name the prefix (in the build folder). Exits 77 (skipped) without wine or Xvfb.
#
# Wine's start-up is occasionally flaky, so the start is tried twice: a run first starts
# wineserver and a trivial program, and only then the test program, exactly once.
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
case "$WINEPREFIX" in
  /*/wineprefix) ;;
  *) echo "WINEPREFIX must be an absolute path ending in /wineprefix: $WINEPREFIX"; exit 2 ;;
esac
for tool in wine wineserver wineboot Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool not installed"
    exit 77
  fi
done

export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer in a new prefix
export LC_ALL=C                           # ANSI code page 1252 whatever the caller's locale
unset WAYLAND_DISPLAY
ready_mark="$WINEPREFIX/.vantrel-ready"
work=$(mktemp -d)
xvfb_pid=""

stop_wine() {
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
}
stop_display() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
cleanup() {
  stop_wine
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb on a display number it picks itself (-displayfd), and sets DISPLAY.
start_display() {
  : >"$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ -s "$work/display" ]; then
      export DISPLAY=":$(head -n1 "$work/display")"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xvfb did not start:"
  cat "$work/xvfb.log"
  stop_display
  return 1
}

# Creates the prefix: a new Wine configuration, with the X11 driver told not to wait for a
# window manager (Xvfb has none).
create_prefix() {
  rm -rf "$WINEPREFIX"
  timeout 300 wineboot --init &&
    timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f &&
    wineserver -w &&
    touch "$ready_mark"
}

# Starts wineserver (kept until the end) and a trivial program.
start_wine() {
  wineserver -p &&
    timeout 120 wine cmd.exe /c exit 0
}

# try <what> <function>: the function, and once more when it fails.
try() {
  local what=$1 step=$2
  if "$step"; then return 0; fi
  echo "$what failed; trying once more"
  stop_wine
  stop_display
  start_display || return 1
  "$step"
}

case "${1:-}" in
  prefix)
    if [ -f "$ready_mark" ]; then
      echo "reusing the Wine prefix $WINEPREFIX"
      exit 0
    fi
    started=$(date +%s)
    start_display || start_display
    if ! try "making the Wine prefix" create_prefix; then
      echo "could not make the Wine prefix $WINEPREFIX"
      exit 1
    fi
    echo "made the Wine prefix $WINEPREFIX in $(($(date +%s) - started)) s"
    ;;
  run)
    shift
    [ $# -ge 1 ] || { echo "usage: run-wine.sh run <program.exe> [arguments]"; exit 2; }
    if [ ! -f "$ready_mark" ]; then
      echo "no Wine prefix at $WINEPREFIX (the test wine_prefix makes it)"
      exit 1
    fi
    start_display || start_display
    if ! try "starting Wine" start_wine; then
      echo "Wine did not start"
      exit 1
    fi
    status=0
    timeout 240 wine "$@" || status=$?
    exit "$status"
    ;;
  *)
    echo "usage: run-wine.sh prefix | run <program.exe> [arguments]"
    exit 2
    ;;
esac
