#!/usr/bin/env bash
# Datagrams that Python builds by hand from the RFCs (frames.py, no code of ours) and scapy
# sends are received and drained into correct Message records; the ones that are not ours
# to take are dropped and counted.
source "$(dirname "$0")/lib.sh"
: "${INTEROP_PEER:?}"
PY=$(find_scapy_python) || { echo "SKIP: no python3 with scapy"; exit $SKIP; }
"$PY" "$INTEROP_DIR/frames.py" selftest >/dev/null || fail "frame builder self-test"

lan up ALICE BOB >/dev/null
confB=$(write_smbconf BOB LANFOLK)
"$PY" "$INTEROP_DIR/frames.py" plan >"$WORK/plan"
keeps=$(grep -c '^keep' "$WORK/plan")
drops=$(grep -c '^drop' "$WORK/plan")

on_host_bg BOB "$WORK/recv" "$INTEROP_PEER" --smbconf "$confB" receive "$keeps" --timeout 20
wait_for_line "$WORK/recv" '^mailslot: owned'
lan run ALICE "$PY" "$INTEROP_DIR/frames.py" send "$(lan addr ALICE)" "$(lan addr BOB)" \
  >"$WORK/sent" || fail "scapy send"
wait_for_line "$WORK/recv" '^dropped: ' 20
cmp -s "$WORK/plan" "$WORK/sent" || fail "the plan changed between runs"

# Each record: 4-byte size n+25, 19 time characters, 0x00, the datagram, 0x00.
python3 - "$WORK/plan" "$WORK/recv" <<'PYCHECK' || fail "records differ from the frames sent"
import re, sys
plan = [l.split()[1] for l in open(sys.argv[1]) if l.startswith("keep")]
recs = [l.split()[1] for l in open(sys.argv[2]) if l.startswith("record-hex:")]
ok = len(plan) == len(recs)
if not ok:
    print(f"expected {len(plan)} records, got {len(recs)}")
for i, (want, got) in enumerate(zip(plan, recs)):
    raw = bytes.fromhex(got)
    n = len(want) // 2
    size = int.from_bytes(raw[:4], "little")
    problems = []
    if size != len(raw) or size != n + 25:
        problems.append(f"size {size}, {len(raw)} bytes, datagram {n}")
    if not re.fullmatch(rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", raw[4:23]) or raw[23] != 0:
        problems.append(f"time {raw[4:24]!r}")
    if raw[24:24 + n].hex() != want or raw[-1] != 0:
        problems.append(f"datagram {raw[24:].hex()} != {want}")
    if problems:
        ok = False
        print(f"record {i}: " + "; ".join(problems))
sys.exit(0 if ok else 1)
PYCHECK
pass "$keeps hand-built datagrams became the right records"

[ "$(value_of "$WORK/recv" dropped)" = "$drops" ] \
  || fail "dropped $(value_of "$WORK/recv" dropped), expected $drops: $(cat "$WORK/recv")"
pass "$drops datagrams that are not ours were dropped and counted"
