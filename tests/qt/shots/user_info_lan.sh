#!/usr/bin/env bash
# Pictures of the User Info dialog of the program itself, filled from a private test LAN (run by
# scripts/screenshots.sh --lan, as root, on its virtual display). BOB and CAROL run the Vantrel
# program, which announces them (CAROL with a long comment); on ALICE the e2e driver runs the
# program on the display and uses the dialog as a user would: CAROL gets the alias "buddy", BOB
# the mask 5 (the Black List dialog is taken as it shows), the dialog is enlarged until every
# column shows, BOB's Black List cell is made the current one, then CAROL's alias is opened
# again and retyped.
#
#   LAN_SH=... E2E_DRIVER=... VANTREL_PROGRAM=... DISPLAY=:N user_info_lan.sh OUTDIR
#
# Writes OUTDIR/user-info-lan.png, user-info-lan-editing.png and user-info-lan-black-list.png.
# Exits 77 when no LAN can be built here.
OUT_DIR=$(realpath "${1:?usage: user_info_lan.sh OUTDIR}")
: "${DISPLAY:?}"
INTEROP="$(dirname "$0")/../../interop"
source "$INTEROP/lib.sh"
source "$INTEROP/e2e_lib.sh"

lan up ALICE BOB CAROL >/dev/null
mkfifo "$WORK/alice.cmd"
exec 3<>"$WORK/alice.cmd"

# Runs a program on HOST in the background with the host's smb.conf (plus the [global] lines
# in CONF_LINES) and settings in $WORK/TAG; standard input from descriptor RUN_STDIN when set.
run_on() {
  local host="$1" tag="$2" conf
  shift 2
  conf=$(write_smbconf "$host" "$WG" "${CONF_LINES[@]}")
  mkdir -p "$WORK/$tag/config"
  local run=(lan run "$host" unshare --mount -- sh -c '
    conf="$1"; shift
    if [ -f /etc/samba/smb.conf ]; then mount --bind "$conf" /etc/samba/smb.conf || exit 3; fi
    exec "$@"' sh "$conf" env TMPDIR="$WORK/$tag" XDG_CONFIG_HOME="$WORK/$tag/config"
    XDG_RUNTIME_DIR="$WORK/$tag" "$@")
  # (a background command's standard input is /dev/null unless it is redirected right here)
  if [ -n "${RUN_STDIN:-}" ]; then
    "${run[@]}" <&"$RUN_STDIN" >>"$WORK/$tag.out" 2>&1 &
  else
    "${run[@]}" </dev/null >>"$WORK/$tag.out" 2>&1 &
  fi
  BACKGROUND_PIDS+=($!)
}

# A driver command, and the answer line it waits for (at most $3 seconds).
ask() {
  local before n=0
  before=$(grep -Ec "$2" "$WORK/alice.out" || true)
  echo "$1" >&3
  until [ "$(grep -Ec "$2" "$WORK/alice.out" || true)" -gt "$before" ]; do
    n=$((n + 1))
    [ $n -le $((${3:-30} * 10)) ] || fail "no answer to '$1': $(tail -n 5 "$WORK/alice.out")"
    grep -q '^error: ' "$WORK/alice.out" && fail "driver: $(grep '^error: ' "$WORK/alice.out")"
    sleep 0.1
  done
}

CONF_LINES=()
RUN_STDIN=3 run_on ALICE alice env QT_QPA_PLATFORM=xcb "$E2E_DRIVER"
wait_for_line "$WORK/alice.out" '^ready: ' 30
run_on BOB bob "$VANTREL_PROGRAM"
CONF_LINES=("server string = Build server in the lab, second floor")
run_on CAROL carol "$VANTREL_PROGRAM"
wait_udp_bound BOB 138 30
wait_udp_bound CAROL 138 30

ask "userinfo open" '^userinfo: opening'
ask "userinfo wait" '^userinfo: filled' 60
for _ in 1 2 3 4 5; do
  ask "userinfo show" '^userinfo: rows='
  grep -Eq '^userinfo-row: 3\|BOB' "$WORK/alice.out" && grep -Eq '^userinfo-row: 3\|CAROL' \
    "$WORK/alice.out" && break
  sleep 8
  ask "userinfo refresh" '^userinfo: filled' 60
done
ask "userinfo alias CAROL buddy" '^userinfo: alias '
ask "userinfo mask BOB 5 $OUT_DIR/user-info-lan-black-list.png" '^userinfo: mask '
ask "userinfo resize 60 30" '^userinfo: size '
ask "userinfo click BOB 2" '^userinfo: current '
ask "userinfo grab $OUT_DIR/user-info-lan.png" '^userinfo: grabbed '
ask "userinfo type CAROL my buddy" '^userinfo: typing '
ask "userinfo grab $OUT_DIR/user-info-lan-editing.png" '^userinfo: grabbed '
ask "userinfo cancel" '^userinfo: closed='
echo exit >&3
wait_for_line "$WORK/alice.out" '^ended: ' 30
grep '^userinfo-row: ' "$WORK/alice.out" | tail -n "$(sed -n 's/^userinfo: rows=//p' "$WORK/alice.out" | tail -n1)"
for f in user-info-lan user-info-lan-editing user-info-lan-black-list; do
  [ -s "$OUT_DIR/$f.png" ] || fail "no picture $f.png"
  echo "$OUT_DIR/$f.png"
done
