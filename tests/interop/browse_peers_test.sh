#!/usr/bin/env bash
# Two computers without Samba (no nmbd, no master browser anywhere) see each other through
# announcements alone: each runs our listener, table and announcer on its own UDP 138 (as the
# program does). BOB starts after ALICE: ALICE hears BOB's announcement at start at once; BOB
# missed ALICE's, so it asks the workgroup to announce and ALICE answers within 30 s. When BOB
# stops, its "going down" announcement takes it off ALICE's table at once.
source "$(dirname "$0")/lib.sh"
: "${INTEROP_PEER:?}"

lan up ALICE BOB >/dev/null
confA=$(write_smbconf ALICE LAB "server string = Front desk")
confB=$(write_smbconf BOB lab "server string = %h in the lab")

on_host_bg ALICE "$WORK/alice" "$INTEROP_PEER" --smbconf "$confA" browse --seconds 55
wait_for_line "$WORK/alice" '^announcer: running$'
wait_for_line "$WORK/alice" '^heard: LAB\\ALICE Front desk$' 5  # her own, through the broadcast
sleep 1
on_host_bg BOB "$WORK/bob" "$INTEROP_PEER" --smbconf "$confB" browse --seconds 55 --request
BOB_PID=$!
wait_for_line "$WORK/bob" '^announcer: running$'
wait_for_line "$WORK/alice" '^heard: LAB\\BOB BOB in the lab$' 5
pass "ALICE hears BOB's announcement at start"
start=$(date +%s)
wait_for_line "$WORK/bob" '^heard: LAB\\ALICE Front desk$' 35
pass "BOB's request made ALICE announce; BOB hears her after $(($(date +%s) - start)) s"

kill -TERM "$BOB_PID"
wait_for_line "$WORK/alice" '^gone: LAB\\BOB$' 5
wait_for_line "$WORK/bob" '^requests-sent: 1$' 5
pass "BOB going down leaves ALICE's table at once"
grep -q '^gone: LAB\\ALICE' "$WORK/bob" && fail "BOB lost ALICE: $(cat "$WORK/bob")"
true
