#!/usr/bin/env bash
# The private LAN itself: host names, addresses, broadcast between all hosts, isolation from
# the machine's interfaces, and a teardown that leaves nothing behind.
source "$(dirname "$0")/lib.sh"

PY=$(command -v /usr/bin/python3 || command -v python3) || { echo "SKIP: no python3"; exit $SKIP; }
root_links_before=$(ip -o link show | wc -l)

lan up ALICE BOB CAROL >/dev/null
[ "$(lan run BOB hostname)" = "BOB" ] || fail "host name of BOB"
[ "$(lan addr CAROL)" = "198.18.0.13" ] || fail "address of CAROL"
[ "$(ip -o link show | wc -l)" = "$root_links_before" ] || fail "links were added to the root namespace"

# Only the LAN's own routes: nothing can leave 198.18.0.0/24 (and the limited broadcast).
routes=$(lan run ALICE ip -4 route show table all | grep -v '^local\|^broadcast' || true)
echo "$routes" | grep -vq '198.18.0.0/24\|255.255.255.255' && fail "unexpected route: $routes"

# A receiver on BOB and CAROL; ALICE sends to the subnet and the limited broadcast.
RECV='
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 9137)); s.settimeout(5)
print("ready", flush=True)
got = set()
while len(got) < 2:
    data, src = s.recvfrom(100)
    got.add(data)
    print(data.decode(), src[0], flush=True)
'
on_host_bg BOB "$WORK/bob" "$PY" -c "$RECV"
on_host_bg CAROL "$WORK/carol" "$PY" -c "$RECV"
wait_for_line "$WORK/bob" '^ready'
wait_for_line "$WORK/carol" '^ready'
lan run ALICE "$PY" -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.sendto(b"subnet", ("198.18.0.255", 9137))
s.sendto(b"limited", ("255.255.255.255", 9137))
'
for h in bob carol; do
  wait_for_line "$WORK/$h" '^subnet 198.18.0.11$' 5
  wait_for_line "$WORK/$h" '^limited 198.18.0.11$' 5
done
pass "broadcast reaches every host"

# A second LAN with another name does not collide with this one.
VANTREL_LAN="${VANTREL_LAN}b" lan up ALICE >/dev/null
[ "$(VANTREL_LAN="${VANTREL_LAN}b" lan run ALICE hostname)" = "ALICE" ] || fail "second LAN"
VANTREL_LAN="${VANTREL_LAN}b" lan down
pass "two LANs side by side"

# Teardown: processes stopped, namespaces gone, idempotent.
on_host_bg CAROL "$WORK/sleeper" sleep 300
sleep 0.2
lan down
lan down
ip netns list | grep -q "vtl-$VANTREL_LAN-" && fail "namespaces left behind"
[ -e "/run/vantrel-lan/$VANTREL_LAN" ] && fail "state left behind"
pass "teardown"
