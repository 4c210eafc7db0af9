#!/usr/bin/env bash
# Our name check against Samba's nmbd: it finds the Samba host (a unique name) and its
# workgroup (a group name), takes static names from lmhosts, probes addresses over TCP, and
# reports a name that exists nowhere within about one second.
source "$(dirname "$0")/lib.sh"
command -v nmbd >/dev/null || { echo "SKIP: Samba's nmbd is not installed"; exit $SKIP; }
: "${INTEROP_PEER:?}"

lan up ALICE SAMBA WINS >/dev/null
lan nmbd SAMBA SAMBAWG >/dev/null
lan nmbd WINS WINSWG "wins support = yes" >/dev/null
S=$(lan addr SAMBA)
confA=$(write_smbconf ALICE LANFOLK)
peer() { lan run ALICE "$INTEROP_PEER" --smbconf "$confA" "$@"; }

peer resolve samba >"$WORK/r1" || fail "resolve SAMBA: $(cat "$WORK/r1")"
[ "$(value_of "$WORK/r1" address)" = "$S" ] || fail "address of SAMBA: $(cat "$WORK/r1")"
[ "$(value_of "$WORK/r1" group)" = 0 ] || fail "SAMBA is a unique name"
[ "$(value_of "$WORK/r1" source)" = broadcast ] || fail "SAMBA found by broadcast"
pass "finds the Samba host"

peer resolve SAMBAWG >"$WORK/r2" || fail "resolve SAMBAWG: $(cat "$WORK/r2")"
[ "$(value_of "$WORK/r2" group)" = 1 ] || fail "SAMBAWG is a group name: $(cat "$WORK/r2")"
peer check sambawg >"$WORK/c2" || fail "check SAMBAWG: $(cat "$WORK/c2")"
pass "finds the workgroup as a group name"

start=$(date +%s%N)
peer check NOSUCHHOST >"$WORK/c3" && fail "NOSUCHHOST exists: $(cat "$WORK/c3")"
ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$(value_of "$WORK/c3" exists)" = 0 ] || fail "check NOSUCHHOST: $(cat "$WORK/c3")"
inner=$(value_of "$WORK/c3" elapsed-ms)
[ "$inner" -lt 1300 ] || fail "absent name took ${inner} ms in the check"
pass "absent name fails in ${inner} ms in the check (${ms} ms with process start)"

echo "198.18.0.99 STATICONLY" >"$(dirname "$confA")/lmhosts"
peer resolve staticonly >"$WORK/r4" || fail "lmhosts: $(cat "$WORK/r4")"
[ "$(value_of "$WORK/r4" source)" = lmhosts ] || fail "lmhosts source: $(cat "$WORK/r4")"
[ "$(value_of "$WORK/r4" address)" = 198.18.0.99 ] || fail "lmhosts address"
pass "static names from lmhosts"

# The probe: the Samba host refuses TCP 445 (no smbd): it exists; an address with no host
# behind it does not answer: it does not exist.
peer check "$S" >"$WORK/c5" || fail "probe of $S: $(cat "$WORK/c5")"
[ "$(value_of "$WORK/c5" probe)" = 1 ] || fail "probe of $S: $(cat "$WORK/c5")"
peer check 198.18.0.77 >"$WORK/c6" && fail "probe of 198.18.0.77: $(cat "$WORK/c6")"
pass "connection probe"

# With a WINS server: asked first, by unicast; its negative answer ends the WINS step at
# once, so an absent name still fails quickly (three unanswered WINS questions would take
# 4.5 s).
W=$(lan addr WINS)
confW=$(CONF_TAG=-wins write_smbconf ALICE LANFOLK "wins server = $W")
lan run ALICE "$INTEROP_PEER" --smbconf "$confW" resolve WINS >"$WORK/w1" \
  || fail "resolve WINS through WINS: $(cat "$WORK/w1")"
[ "$(value_of "$WORK/w1" source)" = wins ] || fail "WINS source: $(cat "$WORK/w1")"
[ "$(value_of "$WORK/w1" address)" = "$W" ] || fail "WINS address: $(cat "$WORK/w1")"
lan run ALICE "$INTEROP_PEER" --smbconf "$confW" resolve SAMBA >"$WORK/w2" \
  || fail "resolve SAMBA with a WINS server: $(cat "$WORK/w2")"
[ "$(value_of "$WORK/w2" source)" = broadcast ] || fail "SAMBA after WINS: $(cat "$WORK/w2")"
lan run ALICE "$INTEROP_PEER" --smbconf "$confW" resolve NOSUCHHOST >"$WORK/w3" \
  && fail "NOSUCHHOST found through WINS"
ms=$(value_of "$WORK/w3" elapsed-ms)
[ "$ms" -lt 1500 ] || fail "absent name with WINS took ${ms} ms"
pass "WINS first, then broadcast; absent name with WINS in ${ms} ms"
