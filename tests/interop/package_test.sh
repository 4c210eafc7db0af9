#!/usr/bin/env bash
# The Debian package end to end: an ordinary user receives.
#
# The package (VANTREL_DEB, or packed from the tree under test by scripts/package.sh) is
# installed with the real dpkg, postinst and all, into a throwaway copy of the system: a mount
# namespace of its own in which /usr, /var and /etc are overlays whose changes go to a tmpfs, so
# the machine's own /usr and dpkg database are never touched and everything is gone when the
# test ends. A file capability set there lives in the tmpfs's extended attributes exactly as on
# a real disk, and the kernel honours it (no nosuid). An ordinary user is added in that copy
# (useradd) and runs the programs through setpriv: real and effective uid of the user, no
# supplementary groups, no capabilities but what the file grants. No sysctl is changed.
#
# Checked: dpkg installs the package and postinst gives /usr/bin/Vantrel cap_net_bind_service;
# Vantrel started by the user on ALICE has exactly that capability, binds UDP 137 and 138
# (mailslot mode), receives a message that the user's vantrel-send sends from BOB, saves it in
# its hive and answers it ("~ALICE" to BOB, seen by our listener and decoded by tshark). A plain
# copy of the same file (no capability) run by the same user binds nothing and is not found by
# name; the same application (the e2e driver) without the capability shows the permission box
# and chooses sender-only mode. Removing and purging the package leaves none of its files and
# keeps the user's hive. On a file system without capabilities (ramfs) postinst says how to
# receive anyway and the installation succeeds; on a nosuid mount it warns; a reinstall sets
# the capability again.
source "$(dirname "$0")/lib.sh"
for tool in tshark dpkg dpkg-deb setcap getcap setpriv nsenter useradd findmnt; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit $SKIP; }
done
if [ "$(sed -n 's/^NoNewPrivs:\t//p' /proc/self/status)" = 1 ]; then
  echo "SKIP: no_new_privs is set here: file capabilities cannot take effect"
  exit $SKIP
fi
: "${INTEROP_PEER:?}" "${PACKAGE_SH:?}"
VANTREL_PROGRAM=/usr/bin/Vantrel  # where the package puts it (seen inside the copy)
source "$(dirname "$0")/e2e_lib.sh"

# What the machine itself has of the package (normally nothing); it must stay as it is.
host_state() {
  dpkg-query -W -f='${db:Status-Abbrev}${Version}' vantrel 2>/dev/null || true
  stat -c '%i %Y %Z' /usr/bin/Vantrel 2>/dev/null || true
}
HOST_STATE=$(host_state)

# The package.
if [ -n "${VANTREL_DEB:-}" ]; then
  DEB=$VANTREL_DEB
else
  DEB=$("$PACKAGE_SH" --build-dir "$VANTREL_BINARY_DIR" --out "$WORK/pkg" --no-lintian | tail -n1)
fi
[ -f "$DEB" ] || fail "no package: $DEB"
pass "package $(basename "$DEB")"

lan up ALICE BOB >/dev/null
A=$(lan addr ALICE)
B=$(lan addr BOB)
chmod 0755 "$WORK"  # the user's folders live below it

# The throwaway system, made after the LAN so that it sees the hosts' namespaces. Its keeper
# process holds the mount namespace; the test enters it with nsenter.
mkdir -p "$WORK/ovl" "$WORK/ramfs"
on_host_bg_keeper() {
  unshare --mount --propagation private -- sh -c '
    set -e
    mount -t tmpfs -o mode=0755 vantrel-pkg "$1"
    for d in usr var etc; do
      mkdir "$1/$d.up" "$1/$d.work"
      mount -t overlay overlay -o "lowerdir=/$d,upperdir=$1/$d.up,workdir=$1/$d.work" "/$d"
    done
    echo ready
    exec sleep 3600' sh "$WORK/ovl" >"$WORK/keeper.log" 2>&1 &
  KEEPER=$!
  BACKGROUND_PIDS+=($!)
}
on_host_bg_keeper
wait_for_line "$WORK/keeper.log" '^ready$' 10
in_copy() { nsenter --mount="/proc/$KEEPER/ns/mnt" -- "$@"; }
export DEBIAN_FRONTEND=noninteractive

# The package's state in the copy's dpkg database ("ii " installed; empty when unknown).
pkg_status() { in_copy dpkg-query -W -f='${db:Status-Abbrev}' vantrel 2>/dev/null || true; }
caps_of() { in_copy getcap "$1" 2>/dev/null | sed -n 's/^[^ ]* //p'; }

# 1. Install.
in_copy dpkg -i "$DEB" >"$WORK/install.out" 2>&1 || fail "dpkg -i: $(cat "$WORK/install.out")"
[ "$(pkg_status)" = "ii " ] || fail "not installed: $(pkg_status)"
[ "$(caps_of /usr/bin/Vantrel)" = cap_net_bind_service=ep ] \
  || fail "capability of /usr/bin/Vantrel: '$(caps_of /usr/bin/Vantrel)'; $(cat "$WORK/install.out")"
[ -z "$(caps_of /usr/bin/vantrel-send)" ] || fail "vantrel-send has a capability"
grep -q '^vantrel:' "$WORK/install.out" && fail "postinst complained: $(cat "$WORK/install.out")"
pass "dpkg installed the package; /usr/bin/Vantrel has cap_net_bind_service=ep"

# The ordinary user.
in_copy useradd --no-create-home --home-dir "$WORK/home" --shell /usr/sbin/nologin \
  --user-group vantrelpkg || fail "useradd"
USER_UID=$(in_copy id -u vantrelpkg)
USER_GID=$(in_copy id -g vantrelpkg)
[ "$USER_UID" -ne 0 ] || fail "the user is root"
AS_USER=(setpriv --reuid="$USER_UID" --regid="$USER_GID" --clear-groups --inh-caps=-all --)
# With the capability the system loader drops TMPDIR, so the single-copy check of the installed
# program lives in the machine's /tmp under the user's uid; leave nothing there.
package_cleanup() {
  local status=$?
  set +e
  rm -f "/tmp/Tessivane-$USER_UID"
  rm -rf "/tmp/runtime-vantrelpkg"
  (exit $status)
  interop_cleanup
}
trap package_cleanup EXIT

# user_env TAG: the environment of a program the user starts, with the folder $WORK/TAG.
user_env() {
  mkdir -p "$WORK/$1/config" "$WORK/$1/tmp" "$WORK/$1/run"
  chmod 0700 "$WORK/$1/run"
  chown -R "$USER_UID:$USER_GID" "$WORK/$1"
  USER_ENV=(env HOME="$WORK/$1" TMPDIR="$WORK/$1/tmp" XDG_CONFIG_HOME="$WORK/$1/config"
    XDG_RUNTIME_DIR="$WORK/$1/run" QT_QPA_PLATFORM=offscreen)
}

# start_user_app HOST TAG PROGRAM: PROGRAM (a path in the copy) run by the user on HOST; output
# in $WORK/TAG.out; standard input from $APP_STDIN when set. Sets APP_PID (the program's pid).
start_user_app() {
  local host="$1" tag="$2" program="$3"
  user_env "$tag"
  in_host_conf "$host"
  launch_app "$tag" nsenter --mount="/proc/$KEEPER/ns/mnt" -- "$LAN_SH" run "$host" \
    "${IN_HOST[@]}" "${AS_USER[@]}" "${USER_ENV[@]}" "$program"
}

# The user's vantrel-send on BOB; its output in $WORK/send.out, its status returned.
send_as_user() {
  user_env sender
  in_host_conf BOB
  in_copy "$LAN_SH" run BOB "${IN_HOST[@]}" "${AS_USER[@]}" "${USER_ENV[@]}" \
    /usr/bin/vantrel-send -m "$1" "$2" >"$WORK/send.out" 2>&1
}

# Field F of /proc/PID/status.
proc_field() { sed -n "s/^$2:[[:space:]]*//p" "/proc/$1/status"; }

# 2. The installed program, started by the user, receives and answers.
confB=$(write_smbconf BOB "$WG")
on_host_bg BOB "$WORK/listener" "$INTEROP_PEER" --smbconf "$confB" receive 1 --timeout 120
wait_for_line "$WORK/listener" '^mailslot: owned'
# Two datagrams: the message BOB sends and ALICE's answer; tshark ends after them. (Host
# announcements go to the broadcast address and are not counted.)
on_host_bg BOB "$WORK/tshark.log" tshark -q -i eth0 -f "udp dst port 138 and not broadcast" -c 2 \
  -a duration:150 \
  -w "$WORK/cap.pcap"
TSHARK_PID=$!
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5  # the capture filter is in place shortly after the message

# Each host's own sysctl: ports below 1024 stay privileged there.
[ "$(lan run ALICE sysctl -n net.ipv4.ip_unprivileged_port_start)" = 1024 ] \
  || fail "ALICE lets everybody bind low ports"
start_user_app ALICE alice /usr/bin/Vantrel
PROGRAM=$APP_PID
wait_program_ready ALICE "$PROGRAM"
[ "$(proc_field "$PROGRAM" Uid | awk '{ print $1, $2 }')" = "$USER_UID $USER_UID" ] \
  || fail "Vantrel runs as uid $(proc_field "$PROGRAM" Uid)"
[ "$(proc_field "$PROGRAM" CapEff)" = 0000000000000400 ] \
  || fail "Vantrel's effective capabilities: $(proc_field "$PROGRAM" CapEff)"
pass "the user's Vantrel (uid $USER_UID) runs with cap_net_bind_service alone and binds UDP 137 and 138"

send_as_user 'from the package' alice || fail "vantrel-send: $(cat "$WORK/send.out")"
T1=$(wait_for_saved alice 'BOB|alice|from the package')
wait_for_line "$WORK/listener" "^record: .* sender=~ALICE receiver=BOB text=I've got your message on $T1\.\$" 20
kill -TERM "$PROGRAM"
wait_exit "$PROGRAM" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "Vantrel ended with status $EXIT_STATUS on SIGTERM"
wait_exit "$TSHARK_PID" 20
tshark -r "$WORK/cap.pcap" -Y "ip.src == $A && ip.dst == $B" -T fields -E separator='|' \
  -e nbdgm.type -e nbdgm.source_name -e nbdgm.destination_name -e smb.trans_name -e data.data \
  2>/dev/null >"$WORK/answers"
want="16|ALICE<00>|BOB<00>|\\MAILSLOT\\MESSNGR|$(hex_of '~ALICE')00$(hex_of BOB)00$(hex_of "$(answer_text "$T1")")"
[ "$(cat "$WORK/answers")" = "$want" ] \
  || fail "answers on the wire:"$'\n'"$(cat "$WORK/answers")"$'\n'"wanted:"$'\n'"$want"
pass "it saved the user's message from BOB (received $T1) and answered it; tshark decodes the answer"

# 3. Without the capability: a plain copy of the same file, the same user.
mkdir -p "$WORK/plain"
in_copy cp /usr/bin/Vantrel "$WORK/plain/Vantrel"
cp "$E2E_DRIVER" "$WORK/plain/e2e_driver"
chmod 0755 "$WORK/plain" "$WORK/plain/Vantrel" "$WORK/plain/e2e_driver"
[ -z "$(caps_of "$WORK/plain/Vantrel")" ] || fail "the copy kept the capability"
start_user_app ALICE plain "$WORK/plain/Vantrel"
PLAIN=$APP_PID
n=0
until [ -f "$WORK/plain/config/Korbelund/registry.sqlite" ]; do
  n=$((n + 1))
  [ $n -le 300 ] || fail "the plain copy did not start: $(cat "$WORK/plain.out")"
  sleep 0.1
done
sleep 2  # past the choice of the mode
kill -0 "$PLAIN" 2>/dev/null || fail "the plain copy ended: $(cat "$WORK/plain.out")"
[ "$(proc_field "$PLAIN" CapEff)" = 0000000000000000 ] \
  || fail "the plain copy's capabilities: $(proc_field "$PLAIN" CapEff)"
for port in 137 138; do
  [ -z "$(lan run ALICE ss -Hlun "sport = :$port")" ] \
    || fail "UDP $port is bound on ALICE without the capability"
done
if send_as_user 'to the plain copy' alice; then fail "ALICE was found: $(cat "$WORK/send.out")"; fi
grep -Fxq 'Sorry, can'"'"'t find name "alice" in network.' "$WORK/send.out" \
  || fail "vantrel-send to the plain copy: $(cat "$WORK/send.out")"
kill -TERM "$PLAIN"
sleep 1
kill -KILL "$PLAIN" 2>/dev/null || true
wait_exit "$PLAIN" 10
[ -z "$(saved_messages plain)" ] || fail "the plain copy saved: $(saved_messages plain)"
mkfifo "$WORK/driver.cmd"
exec 3<>"$WORK/driver.cmd"
APP_STDIN=3 start_user_app ALICE driver "$WORK/plain/e2e_driver"
DRIVER=$APP_PID
wait_for_line "$WORK/driver.out" '^ready: ' 30
box="box: Tessivane may not use the NetBIOS datagram port (UDP 138), so it cannot receive messages."
box+="\\nTo allow it, give the program the permission to bind that port:"
box+="\\n    setcap 'cap_net_bind_service=+ep' $WORK/plain/e2e_driver"
box+="\\nor let every program use the ports from 137 up:"
box+="\\n    sysctl net.ipv4.ip_unprivileged_port_start=137"
box+="\\nand start Tessivane again.\\nUntil then you only can use Tessivane as sender."
for want in "$box" 'mode: sender-only mode' 'main-window: CSendDlg'; do
  grep -Fxq -- "$want" "$WORK/driver.out" || fail "driver: no '$want' in: $(cat "$WORK/driver.out")"
done
echo exit >&3
wait_exit "$DRIVER" 20
pass "without the capability the same user binds nothing, is not found by name, and the application shows the permission box and runs as a sender only"

# 4. Remove and purge: none of the package's files remain; the user's hive is untouched.
hive="$WORK/alice/config/Korbelund/registry.sqlite"
hive_sum=$(sha256sum <"$hive")
in_copy dpkg -r vantrel >"$WORK/remove.out" 2>&1 || fail "dpkg -r: $(cat "$WORK/remove.out")"
in_copy dpkg -P vantrel >>"$WORK/remove.out" 2>&1 || fail "dpkg -P: $(cat "$WORK/remove.out")"
[ -z "$(pkg_status)" ] || [ "$(pkg_status)" = "un " ] || fail "after purge: '$(pkg_status)'"
left=$(in_copy find /usr /var/lib/dpkg/info /etc -iname '*vantrel*' 2>/dev/null || true)
[ -z "$left" ] || fail "left after purge: $left"
[ "$(sha256sum <"$hive")" = "$hive_sum" ] || fail "the user's hive changed"
[ "$(saved_messages alice | cut -d'|' -f2-)" = 'BOB|alice|from the package' ] \
  || fail "the user's messages after purge: $(saved_messages alice)"
pass "remove and purge left none of the package's files; the user's hive is as it was"

# 5. A file system without capabilities: dpkg unpacks, the program file is then a ramfs file
# (ramfs keeps no extended attributes), and the configure step must still succeed.
in_copy dpkg --unpack "$DEB" >"$WORK/fallback.out" 2>&1 || fail "dpkg --unpack: $(cat "$WORK/fallback.out")"
in_copy sh -c 'mount -t ramfs -o mode=0755 vantrel-nocaps "$1" && cp /usr/bin/Vantrel "$1/" &&
  mount --bind "$1/Vantrel" /usr/bin/Vantrel' sh "$WORK/ramfs" || fail "ramfs"
in_copy dpkg --configure vantrel >>"$WORK/fallback.out" 2>&1 \
  || fail "dpkg --configure failed without capabilities: $(cat "$WORK/fallback.out")"
[ "$(pkg_status)" = "ii " ] || fail "not installed after the fallback: $(pkg_status)"
for want in 'vantrel: could not give /usr/bin/Vantrel the capability' \
  '    sysctl net.ipv4.ip_unprivileged_port_start=137' \
  '    echo net.ipv4.ip_unprivileged_port_start=137 > /etc/sysctl.d/60-vantrel.conf'; do
  grep -Fq -- "$want" "$WORK/fallback.out" || fail "fallback message: no '$want' in: $(cat "$WORK/fallback.out")"
done
[ -z "$(caps_of /usr/bin/Vantrel)" ] || fail "ramfs kept a capability"
in_copy umount /usr/bin/Vantrel
pass "without file capabilities the installation succeeds and says how to receive anyway"

# 6. nosuid: the capability is set but would have no effect; postinst says so. Then a plain
# reinstall sets it again.
in_copy sh -c 'mount --bind /usr/bin /usr/bin && mount -o remount,bind,nosuid /usr/bin' \
  || fail "nosuid bind mount"
in_copy dpkg -i "$DEB" >"$WORK/nosuid.out" 2>&1 || fail "dpkg -i on nosuid: $(cat "$WORK/nosuid.out")"
grep -Fq 'vantrel: /usr/bin/Vantrel lies on a file system mounted nosuid' "$WORK/nosuid.out" \
  || fail "no nosuid warning: $(cat "$WORK/nosuid.out")"
grep -Fq 'sysctl net.ipv4.ip_unprivileged_port_start=137' "$WORK/nosuid.out" \
  || fail "no fallback on nosuid: $(cat "$WORK/nosuid.out")"
in_copy umount --lazy /usr/bin
in_copy dpkg -i "$DEB" >"$WORK/reinstall.out" 2>&1 || fail "reinstall: $(cat "$WORK/reinstall.out")"
[ "$(caps_of /usr/bin/Vantrel)" = cap_net_bind_service=ep ] || fail "reinstall: no capability"
grep -q '^vantrel:' "$WORK/reinstall.out" && fail "reinstall complained: $(cat "$WORK/reinstall.out")"
[ "$(host_state)" = "$HOST_STATE" ] || fail "the machine's own package state changed"
pass "on a nosuid mount postinst warns; a reinstall sets the capability again; the machine's /usr is untouched"
