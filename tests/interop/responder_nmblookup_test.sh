#!/usr/bin/env bash
# Samba's nmblookup resolves our names through our responder: broadcast and unicast queries,
# the group flag of the workgroup in a node status, a quick negative answer to a unicast
# query for a name we do not have, silence for broadcasts of other names, and no responder
# (and no error) where nmbd already holds UDP 137.
source "$(dirname "$0")/lib.sh"
command -v nmblookup >/dev/null || { echo "SKIP: nmblookup is not installed"; exit $SKIP; }
: "${INTEROP_PEER:?}"

lan up ALICE BOB CAROL >/dev/null
confA=$(write_smbconf ALICE LANFOLK)
confB=$(write_smbconf BOB LANFOLK)
A=$(lan addr ALICE)

on_host_bg ALICE "$WORK/responder" "$INTEROP_PEER" --smbconf "$confA" respond
wait_for_line "$WORK/responder" '^responder: running'

ask() { lan run BOB nmblookup -s "$confB" "$@" 2>&1; }
# A query that must succeed; nmblookup waits only briefly for broadcast answers, so a loaded
# machine gets three chances.
ask_found() {
  local out i
  for i in 1 2 3; do
    if out=$(ask "$@"); then echo "$out"; return 0; fi
  done
  echo "$out"
}

out=$(ask_found -B 198.18.0.255 ALICE)
echo "$out" | grep -qx "$A ALICE<00>" || fail "broadcast ALICE<00>: $out"
out=$(ask_found -B 198.18.0.255 'ALICE#03')
echo "$out" | grep -qx "$A ALICE<03>" || fail "broadcast ALICE<03>: $out"
out=$(ask_found -B 198.18.0.255 LANFOLK)
echo "$out" | grep -qx "$A LANFOLK<00>" || fail "broadcast LANFOLK<00>: $out"
pass "broadcast queries for our three names"

out=$(ask_found -U "$A" --recursion ALICE)
echo "$out" | grep -qx "$A ALICE<00>" || fail "unicast ALICE<00>: $out"
pass "unicast query"

out=$(ask_found -A "$A")
echo "$out" | grep -Eq '^\s*ALICE\s+<00> -\s+B <ACTIVE>' || fail "node status ALICE<00>: $out"
echo "$out" | grep -Eq '^\s*ALICE\s+<03> -\s+B <ACTIVE>' || fail "node status ALICE<03>: $out"
echo "$out" | grep -Eq '^\s*LANFOLK\s+<00> - <GROUP> B <ACTIVE>' || fail "node status group: $out"
pass "node status lists the workgroup as a group name"

# A unicast query for a name we do not have is answered negatively at once; nmblookup would
# otherwise wait for its time-out (2 s). (With --recursion it takes us for a name server, and
# we stay silent; the unit tests cover that.)
start=$(date +%s%N)
out=$(ask -U "$A" NOBODYHERE) && fail "unicast NOBODYHERE was found: $out"
ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$ms" -lt 1500 ] || fail "negative answer took ${ms} ms"
pass "negative answer to a unicast query in ${ms} ms"

out=$(ask -B 198.18.0.255 NOBODYHERE) && fail "broadcast NOBODYHERE was found: $out"
pass "no answer to a broadcast for another name"

# Where nmbd holds UDP 137 our responder stays out of the way without an error.
lan nmbd CAROL LANFOLK >/dev/null
confC=$(write_smbconf CAROL LANFOLK)
lan run CAROL "$INTEROP_PEER" --smbconf "$confC" respond --seconds 1 >"$WORK/carol" 2>&1 \
  || fail "responder on an nmbd host failed: $(cat "$WORK/carol")"
grep -q '^responder: the name service port is held' "$WORK/carol" \
  || fail "responder on an nmbd host: $(cat "$WORK/carol")"
out=$(ask_found -B 198.18.0.255 CAROL)
echo "$out" | grep -qx "$(lan addr CAROL) CAROL<00>" || fail "nmbd stopped answering: $out"
pass "no responder where nmbd holds the port"

kill "${BACKGROUND_PIDS[0]}"
wait "${BACKGROUND_PIDS[0]}" || true
grep -Eq '^positive: [1-9]' "$WORK/responder" || fail "responder counters: $(cat "$WORK/responder")"
