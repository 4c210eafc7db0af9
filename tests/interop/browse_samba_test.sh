#!/usr/bin/env bash
# Samba's nmbd, as local master browser of LAB, lists the computer the Vantrel program announces.
# SAMBA runs nmbd (preferred master, so it wins the election at once) and smbd; when it is master
# the real program starts on BOB (workgroup LAB, server string "Reception at %h") and announces
# itself. Checked: SAMBA's browse.dat lists BOB with its comment; smbclient -L SAMBA -N shows BOB
# in the server list Samba serves over SMB1; when the program ends, its "going down"
# announcement takes BOB off the list.
#
# What Samba needs to serve that list: smbd with "server min protocol = NT1" (the list goes over
# RAP, SMB1 only) and a client with "client min protocol = NT1"; and smbd must name LAB as its
# domain in the NTLMSSP exchange, because smbclient asks for the servers of that domain: a
# standalone server names itself (SAMBA) there and the list comes back empty, so SAMBA runs as
# "server role = classic primary domain controller". (A client with "client use spnego = no"
# takes the domain from the session setup instead, which names the workgroup.)
source "$(dirname "$0")/lib.sh"
for tool in nmbd smbd smbclient; do
  command -v "$tool" >/dev/null || { echo "SKIP: Samba's $tool is not installed"; exit $SKIP; }
done
: "${VANTREL_PROGRAM:?}"
# The program reads /etc/samba/smb.conf; BOB gets its own bound over it in a mount namespace.
[ -f /etc/samba/smb.conf ] || { echo "SKIP: no /etc/samba/smb.conf to bind BOB's over"; exit $SKIP; }

lan up SAMBA BOB >/dev/null
conf=$(lan nmbd SAMBA LAB "preferred master = yes" "os level = 65" \
  "server string = Samba master" "server role = classic primary domain controller" \
  "server min protocol = NT1" "load printers = no" "disable spoolss = yes")
lan smbd SAMBA >/dev/null
dir=$(dirname "$conf")
wait_for_line "$dir/log/log.nmbd" 'is now a local master browser for workgroup LAB' 60
pass "SAMBA is the local master browser of LAB"

confB=$(write_smbconf BOB LAB "server string = Reception at %h")
mkdir -p "$WORK/bob/config"
# ("$LAN_SH" itself, not the lan function: the background job is then the program, exec'd all the
# way, and $! its pid.)
"$LAN_SH" run BOB unshare --mount -- sh -c '
    mount --bind "$1" /etc/samba/smb.conf || exit 3
    shift
    exec "$@"' sh "$confB" env TMPDIR="$WORK/bob" XDG_CONFIG_HOME="$WORK/bob/config" \
  QT_QPA_PLATFORM=offscreen "$VANTREL_PROGRAM" </dev/null >"$WORK/bob.out" 2>&1 &
PROGRAM=$!
BACKGROUND_PIDS+=($PROGRAM)

browse_dat="$dir/cache/browse.dat"
listed='^"BOB" +40000001 "Reception at BOB" +"LAB"$'
# Waits until browse.dat does ($1 = yes) or does not ($1 = no) hold a line; at most $2 seconds.
# Left alone, nmbd writes its list up to 20 s after a change; SIGHUP makes it write it at once
# (what it writes is unchanged), so ask every 2 s.
wait_browse_dat() {
  local want="$1" seconds="$2" n=0
  while :; do
    if grep -Eq "$listed" "$browse_dat" 2>/dev/null; then [ "$want" = yes ] && return 0
    else [ "$want" = no ] && return 0; fi
    n=$((n + 1))
    [ $n -le $((seconds * 10)) ] || fail "browse.dat: BOB listed should be $want: $(cat "$browse_dat")"
    [ $((n % 20)) -ne 0 ] || kill -HUP "$(cat "$dir/nmbd.pid")"
    sleep 0.1
  done
}
wait_browse_dat yes 30
cat "$browse_dat"
pass "SAMBA's browse.dat lists BOB, a workstation, with its comment"

confC=$(CONF_TAG=-client write_smbconf BOB LAB "client min protocol = NT1")
lan run BOB smbclient -s "$confC" -L SAMBA -N >"$WORK/list" 2>&1 || fail "smbclient: $(cat "$WORK/list")"
cat "$WORK/list"
sed -n '/^\tServer /,/^$/p' "$WORK/list" | grep -Eq '^\s+BOB\s+Reception at BOB$' \
  || fail "smbclient -L SAMBA does not list BOB"
pass "smbclient -L SAMBA -N lists BOB with its comment"

[ "$(readlink "/proc/$PROGRAM/exe")" = "$(readlink -f "$VANTREL_PROGRAM")" ] \
  || fail "pid $PROGRAM is not the Vantrel program"
kill -TERM "$PROGRAM"
wait_browse_dat no 30
pass "the program's going-down announcement took BOB off SAMBA's list"
