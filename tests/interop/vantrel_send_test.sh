#!/usr/bin/env bash
# vantrel-send end to end: a message reaches our endpoint on another host; exit status 1 and
# the exact text on standard error for a name that exists nowhere; 2 for a usage error; a
# message over the limit is refused; no settings hive is created.
source "$(dirname "$0")/lib.sh"
: "${INTEROP_PEER:?}" "${VANTREL_SEND:?}"

lan up ALICE BOB >/dev/null
confA=$(write_smbconf ALICE LANFOLK)
confB=$(write_smbconf BOB LANFOLK)
mkdir -p "$WORK/home"

# vantrel-send reads /etc/samba/smb.conf; give it ALICE's in a private mount namespace.
tool() {
  lan run ALICE unshare --mount -- sh -c '
    conf="$1"; shift
    if [ -f /etc/samba/smb.conf ]; then mount --bind "$conf" /etc/samba/smb.conf || exit 3; fi
    exec "$@"' sh "$confA" env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
    "$VANTREL_SEND" "$@"
}

on_host_bg BOB "$WORK/bob" "$INTEROP_PEER" --smbconf "$confB" receive 1 --timeout 20
wait_for_line "$WORK/bob" '^mailslot: owned'

tool -m 'from the tool' bob >"$WORK/out1" 2>"$WORK/err1" || fail "send to bob: $(cat "$WORK/err1")"
wait_for_line "$WORK/bob" '^received: ' 20
grep -qx 'record: size=[0-9]* time=[0-9: -]\{19\} sender=ALICE receiver=bob text=from the tool' \
  "$WORK/bob" || fail "record on BOB: $(cat "$WORK/bob")"
pass "vantrel-send reaches our endpoint (exit 0)"

set +e
tool -m 'lost' NOSUCHPC >"$WORK/out2" 2>"$WORK/err2"; status=$?
set -e
[ $status -eq 1 ] || fail "absent name: exit $status"
[ "$(cat "$WORK/err2")" = 'Sorry, can'"'"'t find name "NOSUCHPC" in network.' ] \
  || fail "absent name stderr: $(cat "$WORK/err2")"
pass "absent name: exit 1 and the exact message"

set +e
tool >/dev/null 2>"$WORK/err3"; status=$?
long=$(head -c 500 /dev/zero | tr '\0' 'x')
tool -m "$long" bob >/dev/null 2>"$WORK/err4"; status4=$?
set -e
[ $status -eq 2 ] || fail "no name: exit $status ($(cat "$WORK/err3"))"
[ $status4 -eq 1 ] || fail "over-long message: exit $status4"
grep -q '^vantrel-send: bob: ' "$WORK/err4" || fail "over-long message: $(cat "$WORK/err4")"
pass "usage error exit 2; over-long message refused ($(cat "$WORK/err4"))"

[ ! -e "$WORK/home/.config/Korbelund/registry.sqlite" ] || fail "a settings hive was created"
