#!/usr/bin/env bash
# tshark decodes the datagrams we send: message type, source and destination names with their
# suffixes, the source address and port in the NetBIOS header, \MAILSLOT\MESSNGR, a class-2
# mailslot write, and the payload bytes; for a direct and for a workgroup datagram.
source "$(dirname "$0")/lib.sh"
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
: "${INTEROP_PEER:?}"

lan up ALICE BOB >/dev/null
confA=$(write_smbconf ALICE LANFOLK)
confB=$(write_smbconf BOB LANFOLK)
A=$(lan addr ALICE)
B=$(lan addr BOB)

on_host_bg BOB "$WORK/responder" "$INTEROP_PEER" --smbconf "$confB" respond
wait_for_line "$WORK/responder" '^responder: running'
on_host_bg BOB "$WORK/tshark.log" tshark -q -i eth0 -f "udp dst port 138" -c 2 -a duration:30 \
  -w "$WORK/cap.pcap"
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5  # the capture filter is in place shortly after the message

lan run ALICE "$INTEROP_PEER" --smbconf "$confA" send ALICE bob 'hi\r\nthere' >"$WORK/s1" \
  || fail "send to bob: $(cat "$WORK/s1")"
lan run ALICE "$INTEROP_PEER" --smbconf "$confA" send ALICE lanfolk 'to all' >"$WORK/s2" \
  || fail "send to lanfolk: $(cat "$WORK/s2")"
wait "${BACKGROUND_PIDS[1]}" || fail "capture: $(cat "$WORK/tshark.log")"

tshark -r "$WORK/cap.pcap" -T fields -E separator='|' \
  -e ip.dst -e nbdgm.type -e nbdgm.first -e nbdgm.next -e nbdgm.src.ip -e nbdgm.src.port \
  -e nbdgm.source_name -e nbdgm.destination_name -e smb.cmd -e smb.trans_name \
  -e mailslot.opcode -e mailslot.class -e data.data \
  2>/dev/null >"$WORK/fields"
cat "$WORK/fields"
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
want1="$B|16|1|0|$A|138|ALICE<00>|BOB<00>|0x25|\\MAILSLOT\\MESSNGR|1|2|$(hex 'ALICE')00$(hex 'bob')00$(hex 'hi')0d0a$(hex 'there')"
want2="198.18.0.255|17|1|0|$A|138|ALICE<00>|LANFOLK<00>|0x25|\\MAILSLOT\\MESSNGR|1|2|$(hex 'ALICE')00$(hex 'lanfolk')00$(hex 'to all')"
[ "$(sed -n 1p "$WORK/fields")" = "$want1" ] || fail "direct datagram decoded as: $(sed -n 1p "$WORK/fields") wanted $want1"
[ "$(sed -n 2p "$WORK/fields")" = "$want2" ] || fail "group datagram decoded as: $(sed -n 2p "$WORK/fields") wanted $want2"
pass "tshark decodes a DIRECT_UNIQUE and a DIRECT_GROUP Messenger datagram"
