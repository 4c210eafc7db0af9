#!/usr/bin/env bash
# The address book end to end. On ALICE the e2e driver runs the program (the real application
# in-process) and uses its User Info dialog as a user would; BOB and CAROL run the Vantrel program,
# which announces itself on the LAN, so ALICE's network enumeration finds them (no Samba runs).
# Checked:
#   - User Info, opened from the receive window, lists BOB and CAROL under the workgroup; CAROL
#     gets the alias "buddy" (double click, typing, Enter) and BOB the black-list mask 5 (no pop-up
#     and no automatic answer for person-to-person messages) through the Black List dialog; OK
#     saves the book in ALICE's hive and closes the dialog;
#   - a Send to "buddy" reaches CAROL;
#   - a message from BOB is stored on ALICE without popping the window up and without an
#     automatic answer (none on the wire, seen by tshark), while one from CAROL pops the window up
#     and is answered ("~ALICE" to CAROL on the wire);
#   - after a restart of ALICE, with CAROL gone from the network, User Info shows the same alias
#     and mask, and CAROL still under its stored workgroup.
source "$(dirname "$0")/lib.sh"
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
: "${VANTREL_SEND:?}"
source "$(dirname "$0")/e2e_lib.sh"

lan up ALICE BOB CAROL >/dev/null
A=$(lan addr ALICE)
mkfifo "$WORK/alice.cmd"
exec 3<>"$WORK/alice.cmd"  # the driver's commands; open both ways, so opening never blocks

# The value of a section's entry in ALICE's hive (ASCII text, without its terminator); read-only.
book_value() {
  sqlite3 -readonly -batch -noheader "$WORK/alice/config/Korbelund/registry.sqlite" \
    "SELECT CAST(substr(v.data, 1, length(v.data) - 1) AS TEXT) FROM reg_values v
     JOIN reg_keys k ON k.id = v.key_id
     WHERE k.folded = 'SOFTWARE\\KORBELUND\\TESSIVANE\\$1' AND v.folded = upper('$2');" 2>/dev/null
}

# Sends a driver command and waits for the n-th line matching a pattern (n counts all such lines
# of the driver's output so far, plus one).
command_until() {
  local cmd="$1" pattern="$2" seconds="${3:-30}" before n=0
  before=$(grep -Ec "$pattern" "$WORK/alice.out" || true)
  echo "$cmd" >&3
  until [ "$(grep -Ec "$pattern" "$WORK/alice.out" || true)" -gt "$before" ]; do
    n=$((n + 1))
    if [ $n -gt $((seconds * 10)) ]; then
      echo "--- alice.out:" >&2
      cat "$WORK/alice.out" >&2
      fail "no answer matching '$pattern' to '$cmd' within ${seconds}s"
    fi
    grep -q '^error: ' "$WORK/alice.out" && fail "driver: $(grep '^error: ' "$WORK/alice.out")"
    sleep 0.1
  done
  grep -E "$pattern" "$WORK/alice.out" | tail -n1
}

# The grid as the driver shows it: "LEVEL|LABEL|ALIAS|MASK" lines.
grid_rows() {
  command_until "userinfo show" '^userinfo: rows=' >/dev/null
  awk '/^userinfo-row: /{ rows = rows substr($0, 15) "\n" } /^userinfo: rows=/{ last = rows; rows = "" }
       END { printf "%s", last }' "$WORK/alice.out"
}

# The row of a computer (by name), or nothing.
row_of() { grep -E "^3\|$1( [^|]*)?\|" <<<"$2" || true; }

# The workgroup a computer's row stands under.
group_of() {
  awk -F'|' -v name="$1" '$1 == 2 { group = $2 } $1 == 3 { split($2, w, " "); if (w[1] == name) print group }' <<<"$2"
}

# Asks the driver for its store until it holds a record SENDER|RECEIVER|TEXT (at most 15 s).
wait_for_record() {
  local n=0
  until awk -v s="|$1" '/^record: / && index($0, s) == length($0) - length(s) + 1 { found = 1 }
      END { exit !found }' "$WORK/alice.out"; do
    n=$((n + 1))
    [ $n -le 60 ] || fail "ALICE's store never held '$1': $(grep '^record' "$WORK/alice.out")"
    echo store >&3
    sleep 0.25
  done
}

# Sends a message with vantrel-send from HOST to ALICE.
send_from() {
  on_host_conf "$1" env HOME="$WORK/send-$1" XDG_CONFIG_HOME="$WORK/send-$1/.config" \
    "$VANTREL_SEND" -m "$2" ALICE >"$WORK/send-$1.out" 2>&1 \
    || fail "vantrel-send on $1: $(cat "$WORK/send-$1.out")"
}

# 1. ALICE first, so that it hears BOB and CAROL announce themselves as they start.
APP_STDIN=3 start_app ALICE alice "$E2E_DRIVER"
wait_for_line "$WORK/alice.out" '^ready: ' 30
grep -Fxq 'mode: mailslot mode' "$WORK/alice.out" || fail "ALICE's start: $(cat "$WORK/alice.out")"
start_app BOB bob "$VANTREL_PROGRAM"
PROGRAM_B=$APP_PID
start_app CAROL carol "$VANTREL_PROGRAM"
PROGRAM_C=$APP_PID
wait_program_ready BOB "$PROGRAM_B"
wait_program_ready CAROL "$PROGRAM_C"
mkdir -p "$WORK/send-BOB" "$WORK/send-CAROL"

# 2. User Info from the receive window: the enumeration finds BOB and CAROL (asking again, which
# makes the workgroup announce, while either is missing).
command_until "userinfo open" '^userinfo: opening' >/dev/null
command_until "userinfo wait" '^userinfo: filled' 60 >/dev/null
rows=$(grid_rows)
for _ in 1 2 3 4; do
  [ -n "$(row_of BOB "$rows")" ] && [ -n "$(row_of CAROL "$rows")" ] && break
  sleep 8
  command_until "userinfo refresh" '^userinfo: filled' 60 >/dev/null
  rows=$(grid_rows)
done
[ "$(head -n1 <<<"$rows")" = "1|Entire Nerwork||" ] || fail "root row: $rows"
[ "$(group_of BOB "$rows")" = "$WG" ] || fail "BOB not under $WG: $rows"
[ "$(group_of CAROL "$rows")" = "$WG" ] || fail "CAROL not under $WG: $rows"
pass "User Info lists BOB and CAROL under $WG, found by the enumeration"

command_until "userinfo alias CAROL buddy" '^userinfo: alias ' | grep -Fxq 'userinfo: alias CAROL=buddy' \
  || fail "alias: $(grep '^userinfo: alias' "$WORK/alice.out")"
command_until "userinfo mask BOB 5" '^userinfo: mask ' | grep -Fxq 'userinfo: mask BOB=5' \
  || fail "mask: $(grep '^userinfo: mask' "$WORK/alice.out")"
rows=$(grid_rows)
[[ "$(row_of CAROL "$rows")" =~ \|buddy\|$ ]] || fail "CAROL's row: $rows"
[[ "$(row_of BOB "$rows")" =~ \|\|5$ ]] || fail "BOB's row: $rows"
command_until "userinfo ok" '^userinfo: closed=' | grep -Fxq 'userinfo: closed=1' \
  || fail "OK did not close the dialog: $(cat "$WORK/alice.out")"
grep -q '^box: ' "$WORK/alice.out" && fail "a box was shown: $(grep '^box: ' "$WORK/alice.out")"
[ "$(book_value ALIAS CAROL)" = buddy ] || fail "Alias CAROL: '$(book_value ALIAS CAROL)'"
[ "$(book_value ALIAS1 buddy)" = CAROL ] || fail "Alias1 buddy: '$(book_value ALIAS1 buddy)'"
[ "$(book_value BLACKLIST BOB)" = 5 ] || fail "BlackList BOB: '$(book_value BLACKLIST BOB)'"
[ -z "$(book_value ALIAS BOB)" ] || fail "BOB got an alias: $(book_value ALIAS BOB)"
pass "alias buddy for CAROL and mask 5 for BOB typed in, saved by OK in ALICE's hive"

# 3. A Send to "buddy" reaches CAROL; CAROL's answer comes back (kept in the store, as Show
# Response is on, and popping the window up).
printf 'send buddy\tto my buddy\n' >&3
wait_for_line "$WORK/alice.out" '^sent: ' 30
grep -Fxq 'typed: BUDDY' "$WORK/alice.out" || fail "receiver line: $(grep '^typed' "$WORK/alice.out")"
grep -q '^box: ' "$WORK/alice.out" && fail "a box was shown: $(grep '^box: ' "$WORK/alice.out")"
TC=$(wait_for_saved carol 'ALICE|CAROL|to my buddy')
wait_for_record "~CAROL|ALICE|$(answer_text "$TC")"
pass "a Send to buddy reached CAROL (received $TC)"

# 4. BOB's message: stored, no pop-up, no answer; CAROL's: pop-up and answer. tshark on ALICE.
command_until "hide" '^visible: ' | grep -Fxq 'visible: 0' || fail "the receive window stays shown"
on_host_bg ALICE "$WORK/tshark.log" tshark -q -i eth0 -f "udp port 138" -a duration:90 \
  -w "$WORK/cap.pcap"
TSHARK_PID=$!
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5  # the capture filter is in place shortly after the message

send_from BOB 'from the black list'
TB=$(wait_for_saved alice 'BOB|ALICE|from the black list')
sleep 2  # an answer would be on its way by now (a name check takes at most about a second)
command_until "visible" '^visible: ' | grep -Fxq 'visible: 0' \
  || fail "BOB's message popped the receive window up"
pass "BOB's message is stored on ALICE (received $TB) without popping the window up"

send_from CAROL 'from a friend'
TF=$(wait_for_saved alice 'CAROL|ALICE|from a friend')
n=0
until command_until "visible" '^visible: ' | grep -Fxq 'visible: 1'; do
  n=$((n + 1))
  [ $n -le 20 ] || fail "CAROL's message did not pop the receive window up"
  sleep 0.2
done
sleep 3  # the answer goes out from the send queue after a name check
stop_capture "$TSHARK_PID"
tshark -r "$WORK/cap.pcap" -Y "ip.src == $A" -T fields -E separator='|' \
  -e nbdgm.source_name -e nbdgm.destination_name -e smb.trans_name -e data.data \
  2>/dev/null | grep -F '|\MAILSLOT\MESSNGR|' >"$WORK/answers" || true
want="ALICE<00>|CAROL<00>|\\MAILSLOT\\MESSNGR|$(hex_of '~ALICE')00$(hex_of CAROL)00$(hex_of "$(answer_text "$TF")")"
[ "$(cat "$WORK/answers")" = "$want" ] \
  || fail "messages from ALICE on the wire:"$'\n'"$(cat "$WORK/answers")"$'\n'"wanted only:"$'\n'"$want"
pass "CAROL's message popped the window up and was answered; tshark shows no answer to BOB"

# 5. ALICE starts again; CAROL has left the network. The grid shows the book as it was saved.
echo exit >&3
wait_for_line "$WORK/alice.out" '^ended: ' 30
kill -TERM "$PROGRAM_C"
wait_exit "$PROGRAM_C" 20
: >"$WORK/alice.out"
APP_STDIN=3 start_app ALICE alice "$E2E_DRIVER"
wait_for_line "$WORK/alice.out" '^ready: ' 30
command_until "userinfo open" '^userinfo: opening' >/dev/null
command_until "userinfo wait" '^userinfo: filled' 60 >/dev/null
rows=$(grid_rows)
command_until "network" '^network: end' >/dev/null
grep -Eq '^network: \\\\\\\\CAROL( |$)' "$WORK/alice.out" \
  && fail "CAROL is still on the network: $(grep '^network: ' "$WORK/alice.out")"
[[ "$(row_of CAROL "$rows")" =~ \|buddy\|$ ]] || fail "after the restart, CAROL's row: $rows"
[ "$(group_of CAROL "$rows")" = "$WG" ] || fail "after the restart, CAROL not under $WG: $rows"
[[ "$(row_of BOB "$rows")" =~ \|\|5$ ]] || fail "after the restart, BOB's row: $rows"
command_until "userinfo cancel" '^userinfo: closed=' | grep -Fxq 'userinfo: closed=1' || fail "Cancel"
echo exit >&3
wait_for_line "$WORK/alice.out" '^ended: 0' 30
pass "after a restart the grid shows buddy and 5 again, and CAROL (gone) under $WG"
