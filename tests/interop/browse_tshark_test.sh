#!/usr/bin/env bash
# tshark decodes what our announcer sends as valid browser frames: the host announcement at
# start (DIRECT_GROUP from ALICE<00> port 138 to LAB<1d>, \MAILSLOT\BROWSE, class 2; opcode 1,
# period 60000 ms, server ALICE, OS 6.1, type workstation only, browser version 15.1, signature
# 0xaa55, the server string as comment), the announcement request to LAB<00>, and the "going
# down" announcement (server type 0) when the peer stops.
source "$(dirname "$0")/lib.sh"
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
: "${INTEROP_PEER:?}"

lan up ALICE SNIFF >/dev/null
confA=$(write_smbconf ALICE lab "server string = Front desk")
A=$(lan addr ALICE)

on_host_bg SNIFF "$WORK/tshark.log" tshark -q -i eth0 -f "udp dst port 138" -c 3 -a duration:30 \
  -w "$WORK/cap.pcap"
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5  # the capture filter is in place shortly after the message

lan run ALICE "$INTEROP_PEER" --smbconf "$confA" browse --seconds 2 --request >"$WORK/alice" \
  || fail "browse: $(cat "$WORK/alice")"
grep -qx 'announcer: running' "$WORK/alice" || fail "announcer not running: $(cat "$WORK/alice")"
wait "${BACKGROUND_PIDS[0]}" || fail "capture: $(cat "$WORK/tshark.log")"

tshark -r "$WORK/cap.pcap" -T fields -E separator='|' \
  -e ip.dst -e udp.srcport -e nbdgm.type -e nbdgm.first -e nbdgm.next -e nbdgm.src.ip \
  -e nbdgm.src.port -e nbdgm.source_name -e nbdgm.destination_name -e smb.cmd -e smb.trans_name \
  -e mailslot.opcode -e mailslot.class -e browser.command -e browser.period -e browser.server \
  -e browser.os_major -e browser.os_minor -e browser.server_type -e browser.proto_major \
  -e browser.proto_minor -e browser.sig -e browser.comment -e browser.response_computer_name \
  2>/dev/null >"$WORK/fields"
cat "$WORK/fields"
head="198.18.0.255|138|17|1|0|$A|138|ALICE<00>"
want1="$head|LAB<1d>|0x25|\\MAILSLOT\\BROWSE|1|2|0x01|60000|ALICE|6|1|0x00000001|15|1|0xaa55|Front desk|"
want2="$head|LAB<00>|0x25|\\MAILSLOT\\BROWSE|1|2|0x02||||||||||ALICE"
want3="$head|LAB<1d>|0x25|\\MAILSLOT\\BROWSE|1|2|0x01|60000|ALICE|6|1|0x00000000|15|1|0xaa55|Front desk|"
[ "$(sed -n 1p "$WORK/fields")" = "$want1" ] || fail "host announcement decoded as: $(sed -n 1p "$WORK/fields") wanted $want1"
[ "$(sed -n 2p "$WORK/fields")" = "$want2" ] || fail "announcement request decoded as: $(sed -n 2p "$WORK/fields") wanted $want2"
[ "$(sed -n 3p "$WORK/fields")" = "$want3" ] || fail "going-down announcement decoded as: $(sed -n 3p "$WORK/fields") wanted $want3"
malformed=$(tshark -r "$WORK/cap.pcap" -Y '_ws.malformed || _ws.expert.severity >= "warning"' 2>/dev/null | wc -l)
[ "$malformed" -eq 0 ] || fail "tshark finds $malformed frames malformed or with warnings"
pass "tshark decodes our host announcement, announcement request and going-down announcement"
