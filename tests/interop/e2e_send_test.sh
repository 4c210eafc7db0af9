#!/usr/bin/env bash
# The Send dialog end to end. The Vantrel program runs on ALICE and CAROL; on BOB the e2e driver
# runs the same application in-process and uses its Send dialog as a user would (receiver line,
# text, Send). Checked: a message typed for ALICE is saved in ALICE's hive, ALICE's automatic
# answer is stored in BOB's receive window (Show Response is on); a message to the workgroup
# reaches ALICE and CAROL, and both answers come back; a name that exists nowhere gives the
# "can't find name" box and puts no datagram on the wire; with UDP 138 held by another program
# BOB starts as a sender only: the box says so, the Send dialog is the only window and owns the
# notification-area icon, and it still sends.
source "$(dirname "$0")/lib.sh"
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
source "$(dirname "$0")/e2e_lib.sh"
PYTHON=$(command -v python3 || command -v /usr/bin/python3) \
  || { echo "SKIP: python3 is not installed"; exit $SKIP; }

lan up ALICE BOB CAROL >/dev/null
mkfifo "$WORK/bob.cmd"
exec 3<>"$WORK/bob.cmd"  # the driver's commands; open both ways, so opening never blocks

start_app ALICE alice "$VANTREL_PROGRAM"
PROGRAM_A=$APP_PID
start_app CAROL carol "$VANTREL_PROGRAM"
PROGRAM_C=$APP_PID
APP_STDIN=3 start_app BOB bob "$E2E_DRIVER"
DRIVER=$APP_PID
wait_program_ready ALICE "$PROGRAM_A"
wait_program_ready CAROL "$PROGRAM_C"
wait_for_line "$WORK/bob.out" '^ready: ' 30
for want in 'mode: mailslot mode' 'main-window: CReceiveDlg' 'windows: CReceiveDlg CSendDlg' \
  'computer: BOB'; do
  grep -Fxq "$want" "$WORK/bob.out" || fail "BOB's start: no '$want' in: $(cat "$WORK/bob.out")"
done

# The driver's lines after the (n-1)-th "sent:" line up to the n-th, once that is there.
after_send() {
  local n="$1"
  wait_for_line "$WORK/bob.out" '^sent: ' 30
  local count=0
  until [ "$(grep -c '^sent: ' "$WORK/bob.out")" -ge "$n" ]; do
    count=$((count + 1))
    [ $count -le 300 ] || fail "send $n did not finish: $(cat "$WORK/bob.out")"
    sleep 0.1
  done
  awk -v n="$n" '{ if (k == n - 1) print } /^sent: /{ k++ }' "$WORK/bob.out"
}

# A text as a grep -E pattern that matches it exactly.
re_escape() { sed 's/[][\.*^$+?(){}|/]/\\&/g' <<<"$1"; }

# Asks the driver for its store until it holds a record TIME|SENDER|RECEIVER|TEXT for the given
# sender, receiver and text (at most 15 seconds).
wait_for_record() {
  local pattern n=0
  pattern="^record: [0-9: -]{19}\|$(re_escape "$1|$2|$3")\$"
  until grep -Eq -- "$pattern" "$WORK/bob.out"; do
    n=$((n + 1))
    [ $n -le 60 ] || fail "BOB's store never held '$1|$2|$3': $(grep '^record' "$WORK/bob.out")"
    echo store >&3
    sleep 0.25
  done
}

# 1. A message to ALICE, typed in lower case; ALICE's answer lands in BOB's window.
printf 'send alice\thello from the Send dialog\n' >&3
after_send 1 >"$WORK/send1"
grep -Fxq 'typed: ALICE' "$WORK/send1" || fail "receiver line: $(cat "$WORK/send1")"
grep -Fxq 'sent: visible=0' "$WORK/send1" || fail "the dialog stayed open: $(cat "$WORK/send1")"
grep -q '^box: ' "$WORK/send1" && fail "a box was shown: $(cat "$WORK/send1")"
TA=$(wait_for_saved alice 'BOB|ALICE|hello from the Send dialog')
answer=$(answer_text "$TA")
wait_for_line "$WORK/bob.out" $'^window: 1011=From ALICE to BOB\t1012=On [0-9: -]{19}\t1007='"$(re_escape "$answer")"$'\t1013=Current: 1\t1014=Total: 1$' 20
wait_for_record '~ALICE' BOB "$answer"
pass "ALICE saved the message (received $TA); BOB's window shows ALICE's answer"

# 2. To the workgroup: ALICE and CAROL save it, and both answers come back to BOB.
# A receiver answers one sender at most once in 5 seconds; ALICE answered BOB
# a moment ago, so the next message waits that long.
sleep 5
printf 'send %s\tto the whole group\n' "${WG,,}" >&3
after_send 2 >"$WORK/send2"
grep -Fxq "typed: $WG" "$WORK/send2" || fail "receiver line: $(cat "$WORK/send2")"
grep -q '^box: ' "$WORK/send2" && fail "a box was shown: $(cat "$WORK/send2")"
TA2=$(wait_for_saved alice "BOB|$WG|to the whole group")
TC2=$(wait_for_saved carol "BOB|$WG|to the whole group")
wait_for_record '~ALICE' BOB "$(answer_text "$TA2")"
wait_for_record '~CAROL' BOB "$(answer_text "$TC2")"
# BOB's own broadcast came back to BOB's socket too; it is not BOB's mail, and
# BOB does not answer himself.
echo store >&3
wait_for_line "$WORK/bob.out" '^store: total=' 20
if grep -Eq '^record: [0-9: -]{19}\|~?BOB\|' "$WORK/bob.out"; then
  fail "BOB stored its own broadcast: $(grep '^record' "$WORK/bob.out")"
fi
pass "the workgroup message reached ALICE ($TA2) and CAROL ($TC2); both answers are in BOB's store"

# 3. A name that exists nowhere: the box, and nothing on the wire.
on_host_bg BOB "$WORK/tshark.log" tshark -q -i eth0 -f "udp port 138" -a duration:60 \
  -w "$WORK/nosuch.pcap"
TSHARK_PID=$!
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5  # the capture filter is in place shortly after the message
printf 'send nosuchpc\tlost\n' >&3
after_send 3 >"$WORK/send3"
sleep 0.5  # a datagram sent at the end of the send would be in the capture by now
stop_capture "$TSHARK_PID"
want=$(printf '%s\n' 'typed: NOSUCHPC' 'box: Sorry, can'"'"'t find name "NOSUCHPC" in network.' \
  'box: Sorry, send failed.' 'sent: visible=0')
[ "$(grep -E '^(typed|box|sent): ' "$WORK/send3")" = "$want" ] \
  || fail "absent name: $(cat "$WORK/send3")"
packets=$(tshark -r "$WORK/nosuch.pcap" 2>/dev/null | wc -l)
[ "$packets" -eq 0 ] || fail "datagrams on UDP 138 for an absent name: $(tshark -r "$WORK/nosuch.pcap")"
pass "absent name: the can't-find-name box, then send failed; no datagram on the wire"

# The icon menu's Exit ends the driver cleanly.
echo exit >&3
wait_exit "$DRIVER" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "BOB's driver ended with status $EXIT_STATUS"

# 4. Another program holds UDP 138 on BOB: sender-only mode.
on_host_bg BOB "$WORK/holder" "$PYTHON" -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 138))
print("bound", flush=True)
while True:
    s.recvfrom(65535)
'
wait_for_line "$WORK/holder" '^bound'
APP_STDIN=3 start_app BOB bob2 "$E2E_DRIVER"
DRIVER=$APP_PID
wait_for_line "$WORK/bob2.out" '^ready: ' 30
for want in 'box: Another message reciever is running.\nSo you only can use Tessivane as sender.' \
  'mode: sender-only mode' 'main-window: CSendDlg' 'tray-owner: main-window' \
  'receive-window: no' 'windows: CSendDlg' 'computer: BOB'; do
  grep -Fxq -- "$want" "$WORK/bob2.out" || fail "sender-only: no '$want' in: $(cat "$WORK/bob2.out")"
done
[ "$(grep -c '^box: ' "$WORK/bob2.out")" -eq 1 ] || fail "boxes at start: $(cat "$WORK/bob2.out")"
printf 'send alice\tfrom the sender-only mode\n' >&3
wait_for_line "$WORK/bob2.out" '^sent: ' 30
grep -q '^box: Sorry' "$WORK/bob2.out" && fail "sender-only send: $(cat "$WORK/bob2.out")"
wait_for_saved alice 'BOB|ALICE|from the sender-only mode' >/dev/null
echo exit >&3
wait_exit "$DRIVER" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "the sender-only driver ended with status $EXIT_STATUS"
pass "sender-only mode: the box, the Send dialog alone with the icon; it sends; Exit ends it"
