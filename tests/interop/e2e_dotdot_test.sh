#!/usr/bin/env bash
# The Send dialog's ".." end to end: BOB's receiver line ".." sends to every workgroup the
# network enumeration finds. Samba on SAMBA is the master browser of LAB and lists it; CAROL
# runs the program in LAB, ALICE in BOB's own workgroup. Both save the message, addressed to
# their workgroup, and BOB sees no box ("Sorry, send failed." was all ".." gave before).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/e2e_lib.sh"
command -v smbd >/dev/null || { echo "SKIP: Samba's smbd is not installed" >&2; exit $SKIP; }

lan up SAMBA ALICE BOB CAROL >/dev/null
lan nmbd SAMBA LAB "server string = Lab file server" "server min protocol = NT1" \
  "preferred master = yes" "os level = 65" >/dev/null
lan smbd SAMBA
mkfifo "$WORK/bob.cmd"
exec 3<>"$WORK/bob.cmd"

OWN=$WG
start_app ALICE alice "$VANTREL_PROGRAM"
PROGRAM_A=$APP_PID
WG=LAB start_app CAROL carol "$VANTREL_PROGRAM"
PROGRAM_C=$APP_PID
APP_STDIN=3 start_app BOB bob "$E2E_DRIVER"
wait_program_ready ALICE "$PROGRAM_A"
wait_program_ready CAROL "$PROGRAM_C"
wait_for_line "$WORK/bob.out" '^ready: ' 30
lan master SAMBA LAB 60

printf 'send ..\tto every group\n' >&3
wait_for_line "$WORK/bob.out" '^sent: ' 30
grep -Fxq 'typed: ..' "$WORK/bob.out" || fail "receiver line: $(cat "$WORK/bob.out")"
grep -q '^box: ' "$WORK/bob.out" && fail "a box was shown: $(grep '^box: ' "$WORK/bob.out")"
TA=$(wait_for_saved alice "BOB|$OWN|to every group")
TC=$(wait_for_saved carol "BOB|LAB|to every group")
pass "\"..\" reached $OWN (ALICE saved it at $TA) and LAB (CAROL saved it at $TC), without a box"
