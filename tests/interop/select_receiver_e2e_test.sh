#!/usr/bin/env bash
# The Select Receiver dialog end to end, on a LAN with a Samba master browser and a computer
# that only announces itself.
#   SAMBA  nmbd, local master browser of LAB, and smbd serving its browse list over SMB1
#          (server string "Lab file server")
#   BOB    the e2e driver (the whole program in-process, real back-ends, QTest) in LAB,
#          server string "Reception at %h"
#   CAROL  the real Vantrel program in HOME, no Samba, server string "Front desk"
# BOB starts once SAMBA is master, so its start announcement reaches the master; CAROL starts
# once BOB listens, so BOB's table hears CAROL's. Checked:
#   - SAMBA's browse.dat and "smbclient -L SAMBA -N" list BOB with its comment: Samba accepts
#     our announcement;
#   - on BOB, "..." of the Send dialog opens the dialog: "Entire Nerwork" with LAB (BOB, SAMBA
#     with their comments) and HOME (CAROL with hers), every computer selected and nothing else;
#     the opening enumerated the network once;
#   - OK gives "BOB SAMBA CAROL ", and Send reaches all three: BOB and CAROL store the message,
#     SAMBA's UDP 138 receives it;
#   - a second opening fills the tree from the cache without enumerating; Refresh enumerates;
#   - a click, a Shift-click and a Ctrl-click select BOB, SAMBA, HOME and CAROL; OK gives
#     "BOB SAMBA HOME " (a selected workgroup stands for its computers);
#   - pictures of the dialog filled, enlarged and with that multi-selection are written to
#     $SHOTS_DIR (default: shots/select-receiver-lan in the build directory).
# BOB's driver runs offscreen; with SHOTS_DISPLAY=:N it runs on that X display instead, so that
# the pictures show what an X server draws. Start that Xvfb with -noreset: otherwise it resets
# whenever its last client leaves and refuses a connection that comes meanwhile.
#   Xvfb :90 -screen 0 1024x600x24 -nolisten tcp -noreset &
#   SHOTS_DISPLAY=:90 ctest -R interop_select_receiver_e2e
# Samba serves the list to smbclient over SMB1 only with "server min protocol = NT1" and when
# smbd names LAB as its domain ("server role = classic primary domain controller"); see
# browse_samba_test.sh.
source "$(dirname "$0")/lib.sh"
for tool in nmbd smbd smbclient tshark; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit $SKIP; }
done
: "${VANTREL_SEND:?}"
# The programs read /etc/samba/smb.conf: each host gets its own bound over it.
[ -f /etc/samba/smb.conf ] || { echo "SKIP: no /etc/samba/smb.conf to bind the hosts' over"; exit $SKIP; }
source "$(dirname "$0")/e2e_lib.sh"
WG=LAB  # BOB's; CAROL's is given where she starts
SHOTS_DIR=${SHOTS_DIR:-${VANTREL_BINARY_DIR:-$WORK}/shots/select-receiver-lan}
STARTED=$(date +%s)
elapsed() { echo "$(($(date +%s) - STARTED)) s"; }

# Every host's smb.conf carries its server string, the comment it announces.
declare -A COMMENT=([BOB]='Reception at %h' [CAROL]='Front desk')
in_host_conf() {
  local conf
  conf=$(write_smbconf "$1" "$WG" "server string = ${COMMENT[$1]}")
  IN_HOST=(unshare --mount -- sh -c '
    conf="$1"; shift
    mount --bind "$conf" /etc/samba/smb.conf || exit 3
    exec "$@"' sh "$conf")
}

lan up SAMBA BOB CAROL >/dev/null
S=$(lan addr SAMBA)
B=$(lan addr BOB)
conf=$(lan nmbd SAMBA LAB "preferred master = yes" "os level = 65" \
  "server string = Lab file server" "server role = classic primary domain controller" \
  "server min protocol = NT1" "load printers = no" "disable spoolss = yes")
lan smbd SAMBA >/dev/null
samba_dir=$(dirname "$conf")
# What reaches SAMBA's UDP 138 from BOB, for the Send below.
on_host_bg SAMBA "$WORK/tshark.log" tshark -q -i eth0 -f "udp dst port 138 and src host $B" \
  -a duration:600 -w "$WORK/samba.pcap"
TSHARK_PID=$!
wait_for_line "$samba_dir/log/log.nmbd" 'is now a local master browser for workgroup LAB' 60
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'" 30
pass "SAMBA is the local master browser of LAB ($(elapsed))"

mkfifo "$WORK/bob.cmd"
exec 3<>"$WORK/bob.cmd"  # the driver's commands; open both ways, so opening never blocks
bob_program=$E2E_DRIVER
if [ -n "${SHOTS_DISPLAY:-}" ]; then
  bob_program="$WORK/driver-on-x"
  printf '#!/bin/sh\nexec env QT_QPA_PLATFORM=xcb DISPLAY=%q %q\n' "$SHOTS_DISPLAY" "$E2E_DRIVER" \
    >"$bob_program"
  chmod +x "$bob_program"
fi
APP_STDIN=3 start_app BOB bob "$bob_program"
DRIVER=$APP_PID
wait_for_line "$WORK/bob.out" '^ready: ' 30
# The announcer starts with the name responder.
wait_udp_bound BOB 137 30
WG=HOME start_app CAROL carol "$VANTREL_PROGRAM"
wait_program_ready CAROL "$APP_PID"

# Sends a command to BOB's driver and waits (at most $3 seconds) for the line "KEY: ..." that
# ends its answer ($2); prints the driver's lines from the command up to that one. An "error:"
# line fails the test.
ask() {
  local command="$1" key="$2" seconds="${3:-30}" from n=0 out
  from=$(wc -l <"$WORK/bob.out")
  printf '%s\n' "$command" >&3
  while :; do
    out=$(tail -n +"$((from + 1))" "$WORK/bob.out")
    if grep -q '^error: ' <<<"$out"; then fail "$command: $(grep '^error: ' <<<"$out")"; fi
    grep -q "^$key: " <<<"$out" && break
    n=$((n + 1))
    [ $n -le $((seconds * 10)) ] || fail "$command: no '$key:' line within ${seconds}s: $out"
    sleep 0.1
  done
  sed -n "1,/^$key: /p" <<<"$out"
}

# The tree lines of a command's answer.
tree_of() { grep -E '^(item|tree): ' <<<"$1"; }

# 1. Samba's list holds BOB. Left alone, nmbd writes browse.dat up to 20 s after a change;
# SIGHUP makes it write it at once, so ask every 2 s. BOB announced at its start, and does
# again a minute later should the first one have been lost.
listed='^"BOB" +40000001 "Reception at BOB" +"LAB"$'
n=0
until grep -Eq "$listed" "$samba_dir/cache/browse.dat" 2>/dev/null; do
  n=$((n + 1))
  [ $n -le 750 ] || fail "SAMBA's browse.dat does not list BOB: $(cat "$samba_dir/cache/browse.dat")"
  [ $((n % 20)) -ne 0 ] || kill -HUP "$(cat "$samba_dir/nmbd.pid")"
  sleep 0.1
done
confC=$(CONF_TAG=-client write_smbconf BOB LAB "client min protocol = NT1")
lan run BOB smbclient -s "$confC" -L SAMBA -N >"$WORK/smbclient" 2>&1 \
  || fail "smbclient -L SAMBA: $(cat "$WORK/smbclient")"
sed -n '/^\tServer /,/^$/p' "$WORK/smbclient" | grep -Eq '^\s+BOB\s+Reception at BOB$' \
  || fail "smbclient -L SAMBA -N does not list BOB: $(cat "$WORK/smbclient")"
pass "SAMBA's browse.dat and smbclient -L SAMBA -N list BOB with its comment ($(elapsed))"

# BOB's table has heard CAROL: asked of BOB's program ("vantrel-send --list" on BOB with its
# folder), which enumerates on a thread of its own and leaves the dialogs' cache alone. CAROL
# announced at its start; at the latest she announces again a minute later.
mkdir -p "$WORK/sendhome"
n=0
until on_host_conf BOB env HOME="$WORK/sendhome" XDG_CONFIG_HOME="$WORK/sendhome/.config" \
    TMPDIR="$WORK/bob" "$VANTREL_SEND" --list >"$WORK/list" 2>&1 &&
  grep -Fxq '    \\CAROL Front desk' "$WORK/list"; do
  n=$((n + 1))
  [ $n -le 75 ] || fail "BOB never heard CAROL: $(cat "$WORK/list")"
  sleep 1
done
pass "BOB's program has heard CAROL announce herself in HOME ($(elapsed))"

# 2. The first opening: the cache is empty, so the dialog enumerates.
want_all=$(printf '%s\n' 'item: 0 0 Entire Nerwork' 'item: 1 0 LAB' \
  'item: 2 1 BOB Reception at BOB' 'item: 2 1 SAMBA Lab file server' 'item: 1 0 HOME' \
  'item: 2 1 CAROL Front desk' 'tree: items=6 selected=3')
[ "$(ask select-count select-count)" = 'select-count: enumerations=0 running=0' ] \
  || fail "enumerated before the dialog opened"
first=$(ask select tree)
[ "$(tree_of "$first")" = "$want_all" ] || fail "first opening shows:
$(tree_of "$first")
wanted:
$want_all"
[ "$(ask select-count select-count)" = 'select-count: enumerations=1 running=0' ] \
  || fail "the first opening did not enumerate once"
pass "\"...\" shows Entire Nerwork, LAB (BOB, SAMBA) and HOME (CAROL), every computer selected"

mkdir -p "$SHOTS_DIR"
rm -f "$SHOTS_DIR"/*.png
ask "select-shot $SHOTS_DIR/select-receiver-lan.png" shot >/dev/null
size0=$(ask 'select-grow 0 0' select-size)
size1=$(ask 'select-grow 160 100' select-size)
read -r w0 h0 tw0 th0 < <(sed -E 's/.*dialog=([0-9]+)x([0-9]+) tree=([0-9]+)x([0-9]+)/\1 \2 \3 \4/' <<<"$size0")
[ "$size1" = "select-size: dialog=$((w0 + 160))x$((h0 + 100)) tree=$((tw0 + 160))x$((th0 + 100))" ] \
  || fail "enlarged from $size0 by 160x100: $size1"
ask "select-shot $SHOTS_DIR/select-receiver-lan-enlarged.png" shot >/dev/null
pass "enlarged by 160x100, the tree grows by as much"

# 3. OK, then Send: the message reaches all three.
ok=$(ask select-ok receivers)
[ "$(grep '^receivers: ' <<<"$ok")" = 'receivers: BOB SAMBA CAROL ' ] || fail "OK gave: $ok"
TEXT='to everyone in the tree'
sent=$(ask "select-send $TEXT" sent)
grep -Fxq 'typed: BOB SAMBA CAROL ' <<<"$sent" || fail "receiver line at Send: $sent"
grep -Fxq 'sent: visible=0' <<<"$sent" || fail "the Send dialog stayed open: $sent"
TC=$(wait_for_saved carol "BOB|CAROL|$TEXT")
n=0
while :; do
  store=$(ask store store)
  grep -Eq "^record: [0-9: -]{19}\|BOB\|BOB\|$TEXT\$" <<<"$store" && break
  n=$((n + 1))
  [ $n -le 60 ] || fail "BOB never stored its own message: $(grep '^record' "$WORK/bob.out")"
  sleep 0.25
done
# SAMBA's datagram went before CAROL's, so it is in the capture by now.
stop_capture "$TSHARK_PID"
tshark -r "$WORK/samba.pcap" -T fields -E separator='|' -e ip.dst -e smb.trans_name -e data.data \
  2>/dev/null >"$WORK/samba.fields"
grep -Fxq "$S|\\MAILSLOT\\MESSNGR|$(hex_of BOB)00$(hex_of SAMBA)00$(hex_of "$TEXT")" \
  "$WORK/samba.fields" || fail "SAMBA's UDP 138 got no message from BOB: $(cat "$WORK/samba.fields")"
grep -q '^box: ' "$WORK/bob.out" && fail "BOB showed a box: $(grep '^box: ' "$WORK/bob.out")"
pass "OK gives \"BOB SAMBA CAROL \"; Send reaches BOB, SAMBA and CAROL (saved at $TC)"

# 4. The second opening uses the cache; Refresh enumerates.
second=$(ask select tree)
[ "$(tree_of "$second")" = "$want_all" ] || fail "second opening shows: $(tree_of "$second")"
[ "$(ask select-count select-count)" = 'select-count: enumerations=1 running=0' ] \
  || fail "the second opening enumerated"
refreshed=$(ask select-refresh tree)
[ "$(tree_of "$refreshed")" = "$want_all" ] || fail "after Refresh: $(tree_of "$refreshed")"
[ "$(ask select-count select-count)" = 'select-count: enumerations=2 running=0' ] \
  || fail "Refresh did not enumerate once"
pass "a second opening enumerates nothing; Refresh does ($(elapsed))"

# 5. Rows: 0 Entire Nerwork, 1 LAB, 2 BOB, 3 SAMBA, 4 HOME, 5 CAROL. The selected rows after
# each click, as a list of row numbers.
selected_rows() { tree_of "$1" | grep '^item: ' | awk '$3 == 1 { printf "%d ", NR - 1 }'; }
[ "$(selected_rows "$(ask 'select-click 3' tree)")" = '3 ' ] || fail "a click does not select SAMBA alone"
[ "$(selected_rows "$(ask 'select-click 5 shift' tree)")" = '3 4 5 ' ] \
  || fail "Shift-click does not select SAMBA to CAROL"
[ "$(selected_rows "$(ask 'select-click 2 ctrl' tree)")" = '2 3 4 5 ' ] \
  || fail "Ctrl-click does not add BOB"
ask "select-shot $SHOTS_DIR/select-receiver-lan-multi.png" shot >/dev/null
ok=$(ask select-ok receivers)
[ "$(grep '^receivers: ' <<<"$ok")" = 'receivers: BOB SAMBA HOME ' ] || fail "OK gave: $ok"
pass "click, Shift-click and Ctrl-click pick BOB, SAMBA and HOME; OK gives \"BOB SAMBA HOME \""

ls "$SHOTS_DIR"/*.png
echo exit >&3
wait_exit "$DRIVER" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "BOB's driver ended with status $EXIT_STATUS"
pass "done in $(elapsed)"
