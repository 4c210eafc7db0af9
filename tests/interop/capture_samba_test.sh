#!/usr/bin/env bash
# Pop-up capture beside Samba. ALICE runs nmbd (so UDP 138 is Samba's) and smbd with our capture
# helper as its "message command", and the program, which therefore starts in pop-up capture
# mode. From BOB, smbclient -M sends over the NetBIOS session service and a hand-built mailslot
# datagram (frames.py, scapy) goes to ALICE's UDP 138.
# Checked: the smbclient message is shown and stored on ALICE with its sender, receiver and
# text; the datagram is nmbd's and never reaches the program; the registration goes with the
# program; a message sent while the program is stopped waits in the spool and appears at the
# next start, once.
source "$(dirname "$0")/lib.sh"
: "${VANTREL_CAPTURE:?}"
for tool in smbd nmbd smbclient; do
  command -v "$tool" >/dev/null || { echo "SKIP: Samba's $tool is not installed"; exit $SKIP; }
done
PY=$(find_scapy_python) || { echo "SKIP: no python3 with scapy"; exit $SKIP; }
source "$(dirname "$0")/e2e_lib.sh"

lan up ALICE BOB >/dev/null
A=$(lan addr ALICE)
B=$(lan addr BOB)

[ -f /etc/samba/smb.conf ] || { echo "SKIP: no /etc/samba/smb.conf to stand in for"; exit $SKIP; }

# smbd runs the helper as the guest account, nobody: the helper and the capture directory must
# be where nobody can reach them.
chmod 711 "$WORK"
mkdir -p "$WORK/bin"
cp "$VANTREL_CAPTURE" "$WORK/bin/vantrel-capture"
chmod 755 "$WORK/bin" "$WORK/bin/vantrel-capture"
setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$WORK/bin/vantrel-capture" \
  || { echo "SKIP: the guest account cannot reach $WORK"; exit $SKIP; }

# The program runs as an ordinary user, with a group of its own (a user private group), where
# that user can reach the built programs; else as root.
USER_ID=4242
for program in "$E2E_DRIVER" "$VANTREL_PROGRAM"; do
  if ! setpriv --reuid=$USER_ID --regid=$USER_ID --clear-groups test -x "$program"; then
    echo "note: user $USER_ID cannot run $program; the program runs as root"
    USER_ID=0
  fi
done
mkdir -p "$WORK/alice/config"
chown -R "$USER_ID:$USER_ID" "$WORK/alice"

# The capture directory, as root makes it for the receiving user: set-group-id, sticky, others
# may create files in it but not list it. smbd passes its environment on to the message
# command, the program takes it from its own.
export VANTREL_CAPTURE_DIR="$WORK/capture"
mkdir "$VANTREL_CAPTURE_DIR"
chown "$USER_ID:$USER_ID" "$VANTREL_CAPTURE_DIR"
chmod 3733 "$VANTREL_CAPTURE_DIR"

COMMAND="message command = $WORK/bin/vantrel-capture %f %s"
lan nmbd ALICE "$WG" >/dev/null
lan smbd ALICE "$WG" "$COMMAND" >/dev/null

# The program's smb.conf on ALICE names the helper too: the platform is of the NT family. The
# program runs as the ordinary user.
in_host_conf() {
  local conf
  conf=$(write_smbconf "$1" "$WG" "$COMMAND")
  IN_HOST=(unshare --mount -- sh -c '
    conf="$1"; shift
    mount --bind "$conf" /etc/samba/smb.conf || exit 3
    exec "$@"' sh "$conf" setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups)
}

smbclient_message() {
  printf '%s\n' "$1" | lan run BOB smbclient -M ALICE -I "$A" -U bobuser -N \
    >"$WORK/smbclient.out" 2>&1 || fail "smbclient -M: $(cat "$WORK/smbclient.out")"
}

# The driver's records (store command) with a given text, counted.
records_with() {
  grep -c -- "^record: .*|bobuser|ALICE|$1\$" "$WORK/alice.out" || true
}

# 1. The program in pop-up capture mode; smbclient's message is shown and stored.
start_driver ALICE alice "pop-up capture mode"
[ -f "$VANTREL_CAPTURE_DIR/target" ] || fail "the receive window is not registered"
[ "$(stat -c %u /proc/$DRIVER)" = "$USER_ID" ] || fail "the program does not run as the user"
pass "with nmbd on UDP 138 and the helper in smb.conf the program (an ordinary user's) captures pop-ups"

smbclient_message 'hello from bob'
wait_for_line "$WORK/alice.out" $'^window: 1011=From bobuser to ALICE\t1012=On [0-9: -]{19}\t1007=hello from bob\t' 15
T1=$(wait_for_saved alice 'bobuser|ALICE|hello from bob')
pass "smbclient -M from BOB is shown on ALICE and saved (received $T1)"

# 2. A mailslot datagram to ALICE is nmbd's, as it is the Messenger service's on Windows.
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
on_host_bg ALICE "$WORK/tshark.log" tshark -q -i eth0 -f "udp dst port 138 and src host $B" \
  -a duration:60 -w "$WORK/cap.pcap"
TSHARK=$!
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5
lan run BOB "$PY" - "$INTEROP_DIR" "$B" "$A" <<'PYSEND' || fail "scapy send"
import sys
sys.path.insert(0, sys.argv[1])
from frames import MAILSLOT, netbios_datagram, smb_mailslot_write
from scapy.all import IP, UDP, Raw, conf, send
conf.verb = 0
body = b"SCAPY\0ALICE\0by datagram"
frame = netbios_datagram(0x10, sys.argv[2], b"SCAPY", b"ALICE", 0x03,
                         smb_mailslot_write(MAILSLOT, body))
send(IP(src=sys.argv[2], dst=sys.argv[3]) / UDP(sport=138, dport=138) / Raw(load=frame),
     iface="eth0")
PYSEND
sleep 2
stop_capture "$TSHARK"
grep -qa 'by datagram' "$WORK/cap.pcap" || fail "the datagram did not reach ALICE's UDP 138"
echo store >&3
wait_for_line "$WORK/alice.out" '^store: total=' 10
grep -q '^record: .*by datagram' "$WORK/alice.out" && fail "the program received nmbd's datagram"
[ "$(records_with 'hello from bob')" = 1 ] || fail "the captured message is not stored once"
pass "the mailslot datagram stays nmbd's; the program has the captured message once"

# 3. The program ends: its registration and its endpoint go with it.
echo exit >&3
wait_exit "$DRIVER" 20
[ ! -e "$VANTREL_CAPTURE_DIR/target" ] || fail "the registration outlived the program"
ls "$VANTREL_CAPTURE_DIR" | grep -q '^window-' && fail "an endpoint outlived the program"
pass "the program unregistered at its end"

# 4. Sent while the program is stopped: kept in the spool.
smbclient_message 'while you were away'
n=0
until ls "$VANTREL_CAPTURE_DIR" | grep -q '^spool-'; do
  n=$((n + 1)); [ $n -le 50 ] || fail "the message was not spooled"; sleep 0.1
done
spooled=$(ls "$VANTREL_CAPTURE_DIR" | grep '^spool-')
# Written by the guest account; readable by its writer and the user's group only.
[ "$(stat -c '%u %g %a' "$VANTREL_CAPTURE_DIR/$spooled")" = "$(id -u nobody) $USER_ID 640" ] \
  || fail "spool file: $(stat -c '%U %G %a' "$VANTREL_CAPTURE_DIR/$spooled")"
pass "a message sent while the program is stopped is spooled"

# 5. The real program starts and takes it; it is saved, and the spool is empty.
start_app ALICE alice "$VANTREL_PROGRAM"
PROGRAM=$APP_PID
wait_for_saved alice 'bobuser|ALICE|while you were away' 30 >/dev/null
ls "$VANTREL_CAPTURE_DIR" | grep -q '^spool-' && fail "the spool was not emptied"
smbclient_message 'and now live'
wait_for_saved alice 'bobuser|ALICE|and now live' 15 >/dev/null
pass "the Vantrel program shows the spooled message at its start, and then captures live ones"
kill -TERM "$PROGRAM"
wait_exit "$PROGRAM" 20

# 6. Once: the next start has each message exactly once, and nothing new came from the spool.
: >"$WORK/alice.out"
APP_STDIN=3 start_app ALICE alice "$E2E_DRIVER"
DRIVER=$APP_PID
wait_for_line "$WORK/alice.out" '^ready: ' 30
echo store >&3
wait_for_line "$WORK/alice.out" '^store: total=3 ' 10
for text in 'hello from bob' 'while you were away' 'and now live'; do
  [ "$(records_with "$text")" = 1 ] || fail "'$text' is not stored exactly once"
done
echo exit >&3
wait_exit "$DRIVER" 20
pass "each message is stored exactly once"
