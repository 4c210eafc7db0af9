#!/usr/bin/env bash
# Two of our endpoints on two hosts exchange messages both ways, each receiving while it also
# answers for its names; a workgroup message reaches both; an absent name is refused.
source "$(dirname "$0")/lib.sh"
: "${INTEROP_PEER:?}"

lan up ALICE BOB >/dev/null
confA=$(write_smbconf ALICE LANFOLK)
confB=$(write_smbconf BOB LANFOLK)

on_host_bg ALICE "$WORK/alice" "$INTEROP_PEER" --smbconf "$confA" receive 2 --timeout 20
on_host_bg BOB "$WORK/bob" "$INTEROP_PEER" --smbconf "$confB" receive 2 --timeout 20
wait_for_line "$WORK/alice" '^mailslot: owned'
wait_for_line "$WORK/bob" '^mailslot: owned'
grep -q '^responder: running' "$WORK/alice" || fail "responder on ALICE: $(cat "$WORK/alice")"

lan run ALICE "$INTEROP_PEER" --smbconf "$confA" send ALICE BOB 'Hello Bob' >/dev/null \
  || fail "ALICE -> BOB"
lan run BOB "$INTEROP_PEER" --smbconf "$confB" send BOB alice 'Hello Alice\r\nsecond line' \
  >/dev/null || fail "BOB -> ALICE"
lan run BOB "$INTEROP_PEER" --smbconf "$confB" send '~BOB' LANFOLK 'to the workgroup' \
  >/dev/null || fail "BOB -> LANFOLK"

wait_for_line "$WORK/alice" '^received: ' 20
wait_for_line "$WORK/bob" '^received: ' 20
grep -qx 'record: size=44 time=[0-9: -]\{19\} sender=ALICE receiver=BOB text=Hello Bob' \
  "$WORK/bob" || fail "BOB's record: $(cat "$WORK/bob")"
grep -qx 'record: size=59 time=[0-9: -]\{19\} sender=BOB receiver=alice text=Hello Alice\\r\\nsecond line' \
  "$WORK/alice" || fail "ALICE's record: $(cat "$WORK/alice")"
for f in alice bob; do
  grep -qx 'record: size=54 time=[0-9: -]\{19\} sender=~BOB receiver=LANFOLK text=to the workgroup' \
    "$WORK/$f" || fail "workgroup record on $f: $(cat "$WORK/$f")"
done
pass "messages both ways and to the workgroup"

start=$(date +%s%N)
lan run ALICE "$INTEROP_PEER" --smbconf "$confA" send ALICE NOSUCHPC 'lost' >"$WORK/absent" 2>&1 \
  && fail "sending to an absent name succeeded"
ms=$(( ($(date +%s%N) - start) / 1000000 ))
grep -q '^message box: Sorry, can.t find name "NOSUCHPC" in network\.$' "$WORK/absent" \
  || fail "absent name: $(cat "$WORK/absent")"
pass "absent name refused with the message in ${ms} ms"
