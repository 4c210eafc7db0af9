#!/usr/bin/env bash
# vantrel-send --list asks the program that runs for the same user: the Vantrel program on DAVE
# (workgroup LAB, Samba's master browser on SAMBA) answers over its local socket. vantrel-send
# runs on EVE, in workgroup OTHER, with DAVE's temporary folder: the socket is a file, so it
# reaches DAVE's program, and its list is DAVE's (LAB with \\SAMBA and \\DAVE), not what EVE
# would find by itself (OTHER with \\EVE).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/e2e_lib.sh"
: "${VANTREL_SEND:?}"
command -v smbd >/dev/null || { echo "SKIP: Samba's smbd is not installed" >&2; exit $SKIP; }

lan up SAMBA DAVE EVE >/dev/null
lan nmbd SAMBA LAB "server string = Lab file server" "server min protocol = NT1" \
  "preferred master = yes" "os level = 65" >/dev/null
lan smbd SAMBA
lan master SAMBA LAB 60

WG=LAB
start_app DAVE dave "$VANTREL_PROGRAM"
wait_program_ready DAVE "$APP_PID"

WG=OTHER
mkdir -p "$WORK/evehome"
list_on_eve() {
  on_host_conf EVE env HOME="$WORK/evehome" XDG_CONFIG_HOME="$WORK/evehome/.config" "$@" \
    "$VANTREL_SEND" --list
}
list_until '    \\\\SAMBA Lab file server' list_on_eve TMPDIR="$WORK/dave"
echo "--- vantrel-send --list on EVE, asking DAVE's program:"
cat "$WORK/list"
grep -qx 'LAB' "$WORK/list" || fail "LAB is not listed"
grep -qx '    \\\\SAMBA Lab file server' "$WORK/list" || fail "\\\\SAMBA is not listed"
grep -qx '    \\\\DAVE' "$WORK/list" || fail "the program's own computer is not listed"
if grep -q 'EVE\|OTHER' "$WORK/list"; then fail "the list was enumerated on EVE, not asked of DAVE"; fi
pass "--list answered by the running program"

# Without the program's folder EVE enumerates by itself.
mkdir -p "$WORK/eve-tmp"
list_on_eve TMPDIR="$WORK/eve-tmp" >"$WORK/list2" 2>&1 || fail "--list on EVE alone: exit $?"
grep -qx '    \\\\EVE' "$WORK/list2" || fail "EVE alone: $(cat "$WORK/list2")"
pass "without a running program --list enumerates by itself"
