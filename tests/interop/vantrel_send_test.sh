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

on_host_bg BOB "$WORK/bob" "$INTEROP_PEER" --smbconf "$confB" receive 2 --timeout 30
wait_for_line "$WORK/bob" '^mailslot: owned'

tool -m 'from the tool' bob >"$WORK/out1" 2>"$WORK/err1" || fail "send to bob: $(cat "$WORK/err1")"
wait_for_line "$WORK/bob" '^record: .* text=from the tool$' 20
grep -qx 'record: size=[0-9]* time=[0-9: -]\{19\} sender=ALICE receiver=bob text=from the tool' \
  "$WORK/bob" || fail "record on BOB: $(cat "$WORK/bob")"
pass "vantrel-send reaches our endpoint (exit 0)"

# An address instead of a name: BOB's name is learnt with a node status query and the datagram
# names BOB; an address where nobody answers fails with a clear message and sends nothing.
B=$(lan addr BOB)
tool -m 'to the address' "$B" >"$WORK/out5" 2>"$WORK/err5" || fail "send to $B: $(cat "$WORK/err5")"
wait_for_line "$WORK/bob" '^record: .* receiver=BOB text=to the address$' 20
set +e
tool -m 'nobody there' 198.18.0.99 >/dev/null 2>"$WORK/err6"; status6=$?
set -e
[ $status6 -eq 1 ] || fail "address without a computer: exit $status6"
[ "$(cat "$WORK/err6")" = "vantrel-send: 198.18.0.99: no computer name answers at that address" ] \
  || fail "address without a computer: $(cat "$WORK/err6")"
pass "an address is sent to by the name its node status gives; a silent address fails (exit 1)"

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

# Standard input is not read without end; an empty sender and a zero byte are refused.
set +e
tool bob </dev/zero >/dev/null 2>"$WORK/err7"; status7=$?
printf 'a\0b' | tool bob >/dev/null 2>"$WORK/err8"; status8=$?
tool -f '' -m x bob >/dev/null 2>"$WORK/err9"; status9=$?
head -c 100000 /dev/urandom | tr -d '\0' | tool bob >/dev/null 2>"$WORK/err10"; status10=$?
set -e
[ $status7 -eq 2 ] || fail "/dev/zero: exit $status7 ($(cat "$WORK/err7"))"
[ $status8 -eq 2 ] || fail "zero byte: exit $status8 ($(cat "$WORK/err8"))"
[ $status9 -eq 2 ] || fail "empty sender: exit $status9 ($(cat "$WORK/err9"))"
[ $status10 -eq 1 ] && grep -q 'message too long' "$WORK/err10" \
  || fail "100 kB on standard input: exit $status10 ($(cat "$WORK/err10"))"
pass "standard input bounded, zero bytes and an empty sender refused"

[ ! -e "$WORK/home/.config/Korbelund/registry.sqlite" ] || fail "a settings hive was created"
