#!/usr/bin/env bash
# The program receives end to end. On ALICE the Vantrel program (and in turn the e2e driver, the
# same application in-process, which shows the receive window's controls) runs with one settings
# folder; on BOB vantrel-send sends to ALICE's computer name, a listener of ours owns BOB's
# mailslot and answers for BOB's name, and tshark records what arrives at UDP 138.
# Checked: the message is saved in ALICE's hive and shown in the receive window ("From", "On",
# text, counters); ALICE answers automatically ("~ALICE" to BOB, "I've got your message on <the
# receive time>.") and the answer is on the wire; after kill -9 of the program, or of the driver,
# the next start still shows and keeps every message; SIGTERM ends the program cleanly.
source "$(dirname "$0")/lib.sh"
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
: "${INTEROP_PEER:?}" "${VANTREL_SEND:?}"
source "$(dirname "$0")/e2e_lib.sh"

lan up ALICE BOB >/dev/null
A=$(lan addr ALICE)
B=$(lan addr BOB)
confB=$(write_smbconf BOB "$WG")
mkdir -p "$WORK/sendhome"

# BOB: the listener for ALICE's answers, and the capture.
on_host_bg BOB "$WORK/listener" "$INTEROP_PEER" --smbconf "$confB" receive 3 --timeout 120
wait_for_line "$WORK/listener" '^mailslot: owned'
on_host_bg BOB "$WORK/tshark.log" tshark -q -i eth0 -f "udp dst port 138" -a duration:150 \
  -w "$WORK/cap.pcap"
TSHARK_PID=$!
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5  # the capture filter is in place shortly after the message

send_to_alice() {
  on_host_conf BOB env HOME="$WORK/sendhome" XDG_CONFIG_HOME="$WORK/sendhome/.config" \
    "$VANTREL_SEND" -m "$1" alice >"$WORK/send.out" 2>&1 || fail "vantrel-send: $(cat "$WORK/send.out")"
}

# A window line of the driver.
window_line() {
  printf 'window: 1011=%s\t1012=%s\t1007=%s\t1013=Current: %s\t1014=Total: %s' "$@"
}

# 1. The program receives, saves and answers.
start_app ALICE alice "$VANTREL_PROGRAM"
PROGRAM=$APP_PID
wait_program_ready ALICE "$PROGRAM"
send_to_alice 'first message'
T1=$(wait_for_saved alice 'BOB|alice|first message')
wait_for_line "$WORK/listener" "^record: .* sender=~ALICE receiver=BOB text=I've got your message on $T1\.\$" 20
pass "the program saved the message (received $T1) and answered it"

# 2. kill -9; the same application (the driver) starts on that folder and shows the message.
kill -9 "$PROGRAM"
wait_exit "$PROGRAM" 10
start_driver ALICE alice "mailslot mode"
wait_for_exact "$WORK/alice.out" "$(window_line 'From BOB to alice' "On $T1" 'first message' 1 1)" 1
pass "after kill -9 of the program the receive window shows the message"

# 3. The receive window takes the next message and the answer goes out.
send_to_alice 'second message'
wait_for_line "$WORK/alice.out" $'^window: 1011=From BOB to alice\t1012=On [0-9: -]{19}\t1007=second message\t1013=Current: 2\t1014=Total: 2$' 20
T2=$(grep -E $'\t1007=second message\t' "$WORK/alice.out" | tail -n1 | sed -E $'s/.*\t1012=On ([^\t]*)\t.*/\\1/')
wait_for_line "$WORK/listener" "^record: .* sender=~ALICE receiver=BOB text=I've got your message on $T2\.\$" 20
pass "the receive window shows the second message (received $T2); it was answered"

# 4. kill -9 the driver; the program starts again, keeps both and takes a third.
kill -9 "$DRIVER"
wait_exit "$DRIVER" 10
start_app ALICE alice "$VANTREL_PROGRAM"
PROGRAM=$APP_PID
wait_program_ready ALICE "$PROGRAM"
send_to_alice 'third message'
T3=$(wait_for_saved alice 'BOB|alice|third message')
wait_for_line "$WORK/listener" "^record: .* sender=~ALICE receiver=BOB text=I've got your message on $T3\.\$" 20
kill -TERM "$PROGRAM"
wait_exit "$PROGRAM" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "the program ended with status $EXIT_STATUS on SIGTERM"
# (before the hive is read again: a read-only reader leaves an empty log file behind)
[ ! -e "$WORK/alice/config/Korbelund/registry.sqlite-wal" ] || fail "the hive was not closed"
want=$(printf '%s\n' "$T3|BOB|alice|third message" "$T2|BOB|alice|second message" \
  "$T1|BOB|alice|first message")
[ "$(saved_messages alice)" = "$want" ] || fail "saved messages: $(saved_messages alice)"
pass "after kill -9 of the driver the program kept both messages, took a third, ended on SIGTERM"

# 5. The next start shows the newest of the three; the icon menu's Exit ends it with status 0.
: >"$WORK/alice.out"
APP_STDIN=3 start_app ALICE alice "$E2E_DRIVER"
DRIVER=$APP_PID
wait_for_line "$WORK/alice.out" '^ready: ' 30
wait_for_exact "$WORK/alice.out" "$(window_line 'From BOB to alice' "On $T3" 'third message' 3 3)" 1
echo exit >&3
wait_exit "$DRIVER" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "the driver ended with status $EXIT_STATUS: $(cat "$WORK/alice.out")"
[ "$(saved_messages alice)" = "$want" ] || fail "saved messages after Exit: $(saved_messages alice)"
pass "the receive window shows all three after restarts; Exit keeps them"

# 6. The three answers on the wire, as tshark decodes them.
stop_capture "$TSHARK_PID"
tshark -r "$WORK/cap.pcap" -Y "ip.src == $A && ip.dst == $B" -T fields -E separator='|' \
  -e nbdgm.type -e nbdgm.source_name -e nbdgm.destination_name -e smb.trans_name -e data.data \
  2>/dev/null >"$WORK/answers"
want=""
for t in "$T1" "$T2" "$T3"; do
  want+="16|ALICE<00>|BOB<00>|\\MAILSLOT\\MESSNGR|$(hex_of '~ALICE')00$(hex_of BOB)00$(hex_of "$(answer_text "$t")")"$'\n'
done
[ "$(cat "$WORK/answers")" = "${want%$'\n'}" ] \
  || fail "answers on the wire:"$'\n'"$(cat "$WORK/answers")"$'\n'"wanted:"$'\n'"$want"
pass "tshark decodes the three answers (~ALICE to BOB, with the receive times)"
