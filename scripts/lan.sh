#!/usr/bin/env bash
# A private test LAN made of Linux network namespaces.
#
#   lan.sh check                 exit 0 when a LAN can be built here, 77 (and why) when not
#   lan.sh up A B [C ...]        one namespace per host, joined by a bridge
#   lan.sh run A cmd [args...]   run a command on host A (its host name is "A")
#   lan.sh addr A                print host A's address
#   lan.sh hosts                 print "name address" for every host
#   lan.sh nmbd A [WORKGROUP [LINE...]]
#                                start Samba's nmbd on host A with a private smb.conf; each
#                                LINE ("wins support = yes") is added to its [global]
#   lan.sh smbd A                start Samba's smbd on host A with the smb.conf of "lan.sh nmbd A"
#                                (so it serves the browse list nmbd keeps, over SMB1 too)
#   lan.sh smbd A WORKGROUP [LINE...]
#                                start Samba's smbd on host A (NetBIOS session service,
#                                TCP 139, SMB1) with a private smb.conf of its own and the
#                                guest account "nobody"; each LINE ("message command = ...")
#                                is added to its [global]; prints that smb.conf's path
#   lan.sh master A WORKGROUP [SECONDS]
#                                wait until host A is the local master browser of WORKGROUP
#   lan.sh down                  stop everything started on the LAN and remove it (idempotent)
#   lan.sh gc [PREFIX]           remove LANs (whose names start with PREFIX) whose owner
#                                process has gone
#
# The LAN is named by $VANTREL_LAN (default "tvlan"); every namespace, state file and
# temporary directory carries that name, so two LANs with different names never collide.
# Hosts get 198.18.0.11, .12, ... in the order given to "up". The bridge lives in a namespace
# of its own: nothing is added to the machine's real interfaces, and no host has a route
# beyond 198.18.0.0/24 (plus the limited broadcast), so traffic cannot leave the LAN.
# Needs root, iproute2 ("ip netns") and util-linux ("unshare").
set -euo pipefail

readonly SKIP=77
LAN="${VANTREL_LAN:-tvlan}"
STATE_ROOT="${VANTREL_LAN_STATE:-/run/vantrel-lan}"
STATE="$STATE_ROOT/$LAN"
NET_PREFIX=198.18.0
FIRST_HOST=11

die() { echo "lan.sh: $*" >&2; exit 1; }

valid_name() { [[ "$1" =~ ^[A-Za-z0-9_]{1,15}$ ]]; }

ns_of() { echo "vtl-$LAN-$1"; }
bridge_ns() { echo "vtl-$LAN--br"; }

# Prints nothing and returns 0 when this machine can build a LAN; else prints the reason.
why_not() {
  if [ "$(id -u)" -ne 0 ]; then echo "not running as root"; return 1; fi
  command -v ip >/dev/null || { echo "iproute2 'ip' is not installed"; return 1; }
  command -v unshare >/dev/null || { echo "util-linux 'unshare' is not installed"; return 1; }
  local probe="vtl-probe-$$"
  if ! ip netns add "$probe" 2>/dev/null; then
    echo "'ip netns add' is not permitted here"; return 1
  fi
  if ! ip netns exec "$probe" unshare --uts true 2>/dev/null; then
    ip netns del "$probe" 2>/dev/null || true
    echo "'unshare --uts' is not permitted here"; return 1
  fi
  if ! ip -n "$probe" link add vtlprobe type bridge 2>/dev/null; then
    ip netns del "$probe" 2>/dev/null || true
    echo "bridges cannot be created here"; return 1
  fi
  ip netns del "$probe" 2>/dev/null || true
  return 0
}

cmd_check() {
  local reason
  if reason=$(why_not); then return 0; fi
  echo "SKIP: private test LAN unavailable: $reason" >&2
  exit $SKIP
}

host_addr() {
  [ -f "$STATE/hosts" ] || die "LAN '$LAN' is not up"
  local name addr
  while read -r name addr; do
    if [ "$name" = "$1" ]; then echo "$addr"; return 0; fi
  done <"$STATE/hosts"
  die "no host '$1' on LAN '$LAN'"
}

cmd_up() {
  [ $# -ge 1 ] || die "usage: lan.sh up HOST [HOST...]"
  [ $# -le 200 ] || die "too many hosts"
  valid_name "$LAN" || die "bad LAN name '$LAN' (letters, digits, _; at most 15)"
  local reason
  reason=$(why_not) || die "$reason"
  [ ! -e "$STATE" ] || die "LAN '$LAN' is already up (lan.sh down first)"
  local h seen=" "
  for h in "$@"; do
    valid_name "$h" || die "bad host name '$h' (letters, digits, _; at most 15)"
    case "$seen" in *" $h "*) die "host '$h' given twice" ;; esac
    seen+="$h "
  done
  mkdir -p "$STATE"
  echo "${VANTREL_LAN_OWNER:-$PPID}" >"$STATE/owner"
  : >"$STATE/hosts"
  # From here on a failure leaves partial state behind; take it down again.
  trap 'cmd_down >/dev/null 2>&1 || true' ERR
  local br
  br=$(bridge_ns)
  ip netns add "$br"
  ip -n "$br" link set lo up
  ip -n "$br" link add br0 type bridge
  ip -n "$br" link set br0 up
  local i=0 ns port addr
  for h in "$@"; do
    ns=$(ns_of "$h")
    port="p$i"
    addr="$NET_PREFIX.$((FIRST_HOST + i))"
    ip netns add "$ns"
    ip -n "$br" link add "$port" type veth peer name eth0 netns "$ns"
    ip -n "$br" link set "$port" master br0 up
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "$addr/24" broadcast + dev eth0
    ip -n "$ns" link set eth0 up
    # The limited broadcast 255.255.255.255 goes onto the LAN as well.
    ip -n "$ns" route add 255.255.255.255/32 dev eth0
    echo "$h $addr" >>"$STATE/hosts"
    i=$((i + 1))
  done
  trap - ERR
  # Wait until every host's address has left duplicate address detection (no-op for IPv4,
  # but the links need a moment to reach "up" on the bridge).
  for h in "$@"; do
    ns=$(ns_of "$h")
    local n=0
    until ip -n "$ns" link show eth0 | grep -q 'state UP'; do
      n=$((n + 1)); [ $n -lt 50 ] || die "link of host $h did not come up"
      sleep 0.1
    done
  done
  cat "$STATE/hosts"
}

cmd_run() {
  [ $# -ge 2 ] || die "usage: lan.sh run HOST cmd [args...]"
  local h="$1"; shift
  host_addr "$h" >/dev/null
  # A fresh UTS namespace per command so that "hostname" inside shows the host's name.
  exec ip netns exec "$(ns_of "$h")" unshare --uts -- \
    sh -c 'hostname "$0" && exec "$@"' "$h" "$@"
}

cmd_hosts() {
  [ -f "$STATE/hosts" ] || die "LAN '$LAN' is not up"
  cat "$STATE/hosts"
}

# Writes $1/smb.conf for host $2 in workgroup $3: what every Samba daemon on the LAN has (its
# names, eth0 only, everything it writes under $1), then the daemon's own lines from stdin, then
# each further argument as a line of its own ("wins support = yes").
write_conf() {
  local dir="$1" h="$2" wg="$3" line
  shift 3
  {
    cat <<EOF
[global]
  netbios name = $h
  workgroup = $wg
  interfaces = eth0
  bind interfaces only = yes
  disable netbios = no
  server role = standalone server
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  pid directory = $dir/pid
  private dir = $dir/private
  ncalrpc dir = $dir/ncalrpc
  max log size = 0
EOF
    cat
  } >"$dir/smb.conf"
  for line in "$@"; do
    case "$line" in *$'\n'*|*'['*) die "bad smb.conf line '$line'" ;; esac
    echo "  $line" >>"$dir/smb.conf"
  done
}

# Waits until the command "$@" succeeds, at most 15 s and only while daemon $1 (nmbd or smbd)
# of host $2 runs (its pid in $3/$1.pid); else shows the end of its log and of its output $4.
wait_daemon() {
  local what="$1" h="$2" dir="$3" out="$4" n=0
  shift 4
  until "$@"; do
    n=$((n + 1))
    if [ $n -ge 150 ] || ! kill -0 "$(cat "$dir/$what.pid")" 2>/dev/null; then
      echo "lan.sh: $what on $h did not come up; its log:" >&2
      tail -n 30 "$dir/log/$what.log" "$out" >&2 2>/dev/null || true
      return 1
    fi
    sleep 0.1
  done
}

# Samba's nmbd on a host, with everything it writes under the LAN's state directory.
cmd_nmbd() {
  [ $# -ge 1 ] || die "usage: lan.sh nmbd HOST [WORKGROUP [LINE...]]"
  local h="$1" wg="${2:-WORKGROUP}"
  shift $(( $# >= 2 ? 2 : 1 ))
  valid_name "$wg" || die "bad workgroup '$wg'"
  host_addr "$h" >/dev/null
  command -v nmbd >/dev/null || die "Samba's nmbd is not installed"
  local dir="$STATE/samba-$h"
  mkdir -p "$dir"/{lock,state,cache,pid,private,log,ncalrpc,socket}
  write_conf "$dir" "$h" "$wg" "$@" <<EOF
  nmbd:socket dir = $dir/socket
  log file = $dir/log/nmbd.log
  local master = yes
  preferred master = no
  domain master = no
  wins support = no
  dns proxy = no
EOF
  ip netns exec "$(ns_of "$h")" unshare --uts -- \
    sh -c 'hostname "$0" && exec nmbd --foreground --no-process-group -s "$1" -l "$2"' \
    "$h" "$dir/smb.conf" "$dir/log" </dev/null >"$dir/log/stdout" 2>&1 &
  echo $! >"$dir/nmbd.pid"
  # nmbd registers its names by broadcast before it answers for them; wait for the log line.
  wait_daemon nmbd "$h" "$dir" "$dir/log/stdout" nmbd_has_names "$h" "$wg" "$dir" || return 1
  echo "$dir/smb.conf"
}

# Samba's smbd on a host.
#   lan.sh smbd HOST: beside "lan.sh nmbd HOST", with its smb.conf, so the same cache
#     directory, whose browse.dat nmbd writes and smbd serves (RAP NetServerEnum2, SMB1 only).
#   lan.sh smbd HOST WORKGROUP [LINE...]: an smbd of its own beside whatever else runs there,
#     with everything it writes under the LAN's state directory: the NetBIOS session service
#     on TCP 139 only, with SMB1, which "send message" (smbclient -M) needs. smbd writes each
#     message it receives to a file in $dir/tmp and runs the "message command" as the guest
#     account.
cmd_smbd() {
  local h="${1:-}" dir
  if [ $# -eq 1 ]; then
    host_addr "$h" >/dev/null
    command -v smbd >/dev/null || die "Samba's smbd is not installed"
    dir="$STATE/samba-$h"
    [ -f "$dir/smb.conf" ] || die "no smb.conf for $h: start it with 'lan.sh nmbd $h' first"
    start_smbd "$h" "$dir" "$dir/log/smbd.stdout"
    return
  fi
  [ $# -ge 2 ] || die "usage: lan.sh smbd HOST [WORKGROUP [LINE...]]"
  local wg="${2:-WORKGROUP}"
  shift 2
  valid_name "$wg" || die "bad workgroup '$wg'"
  host_addr "$h" >/dev/null
  command -v smbd >/dev/null || die "Samba's smbd is not installed"
  dir="$STATE/smbd-$h"
  mkdir -p "$dir"/{lock,state,cache,pid,private,log,ncalrpc,tmp}
  chmod 1777 "$dir/tmp"
  write_conf "$dir" "$h" "$wg" "$@" <<EOF
  smb ports = 139
  server min protocol = NT1
  guest account = nobody
  map to guest = bad user
  log file = $dir/log/smbd.log
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
EOF
  start_smbd "$h" "$dir" "$dir/log/stdout" TMPDIR="$dir/tmp"
}

# Starts smbd on host $1 with $2/smb.conf, its output to $3 and further arguments as settings
# of its environment; waits until it listens on TCP 139 and prints the smb.conf's path. It runs
# in a session of its own: smbd signals its whole process group when it ends, which would
# otherwise take down whoever started it.
start_smbd() {
  local h="$1" dir="$2" out="$3"
  shift 3
  ip netns exec "$(ns_of "$h")" setsid unshare --uts -- env "$@" \
    sh -c 'hostname "$0" && exec smbd --foreground --no-process-group -s "$1" -l "$2"' \
    "$h" "$dir/smb.conf" "$dir/log" </dev/null >"$out" 2>&1 &
  echo $! >"$dir/smbd.pid"
  wait_daemon smbd "$h" "$dir" "$out" listens_on_139 "$h" || return 1
  echo "$dir/smb.conf"
}

listens_on_139() {
  [ -n "$(ip netns exec "$(ns_of "$1")" ss -Hltn 'sport = :139' 2>/dev/null)" ]
}

# Waits until a broadcast query for WORKGROUP<1d> (the local master browser) names host A.
cmd_master() {
  [ $# -ge 2 ] || die "usage: lan.sh master HOST WORKGROUP [SECONDS]"
  local h="$1" wg="$2" seconds="${3:-60}" addr n=0
  addr=$(host_addr "$h")
  valid_name "$wg" || die "bad workgroup '$wg'"
  until ip netns exec "$(ns_of "$h")" nmblookup -s "$STATE/samba-$h/smb.conf" \
      -B "$NET_PREFIX.255" -M -- "$wg" 2>/dev/null | grep -q "^$addr $wg<1d>"; do
    n=$((n + 1))
    [ $n -lt $((seconds * 2)) ] || die "$h did not become the master browser of $wg in ${seconds}s"
    sleep 0.5
  done
}

# True once nmbd answers broadcast queries for its own name and its workgroup.
nmbd_has_names() {
  local h="$1" wg="$2" dir="$3" addr name
  addr=$(host_addr "$h")
  for name in "$h" "$wg"; do
    ip netns exec "$(ns_of "$h")" nmblookup -s "$dir/smb.conf" -B "$NET_PREFIX.255" "$name" 2>/dev/null \
      | grep -q "^$addr " || return 1
  done
}

# Stops every process that lives in one of the LAN's namespaces; they were all started on it.
stop_processes() {
  local ns pids pid round
  for round in TERM TERM TERM KILL; do
    pids=""
    for ns in $(lan_namespaces); do
      pids+=" $(ip netns pids "$ns" 2>/dev/null || true)"
    done
    pids=$(echo $pids)
    [ -n "$pids" ] || return 0
    for pid in $pids; do kill -s "$round" "$pid" 2>/dev/null || true; done
    local n=0
    while [ $n -lt 20 ]; do
      local alive=0
      for pid in $pids; do kill -0 "$pid" 2>/dev/null && alive=1; done
      [ $alive -eq 1 ] || break
      sleep 0.1; n=$((n + 1))
    done
  done
}

lan_namespaces() {
  ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^vtl-$LAN-" || true
}

cmd_down() {
  valid_name "$LAN" || die "bad LAN name '$LAN'"
  stop_processes
  local ns
  for ns in $(lan_namespaces); do
    ip netns del "$ns" 2>/dev/null || true
  done
  rm -rf "$STATE"
}

cmd_gc() {
  [ -d "$STATE_ROOT" ] || return 0
  local prefix="${1:-}" d owner
  for d in "$STATE_ROOT"/*/; do
    [ -d "$d" ] || continue
    case "$(basename "$d")" in "$prefix"*) ;; *) continue ;; esac
    owner=$(cat "$d/owner" 2>/dev/null || echo 0)
    if [ "$owner" -gt 1 ] 2>/dev/null && kill -0 "$owner" 2>/dev/null; then continue; fi
    VANTREL_LAN=$(basename "$d") "$0" down
  done
}

main() {
  [ $# -ge 1 ] || { sed -n '2,30p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
  local cmd="$1"; shift
  case "$cmd" in
    check) cmd_check ;;
    up) cmd_up "$@" ;;
    run) cmd_run "$@" ;;
    addr) [ $# -eq 1 ] || die "usage: lan.sh addr HOST"; host_addr "$1" ;;
    hosts) cmd_hosts ;;
    nmbd) cmd_nmbd "$@" ;;
    smbd) cmd_smbd "$@" ;;
    master) cmd_master "$@" ;;
    down) cmd_down ;;
    gc) cmd_gc "$@" ;;
    *) die "unknown command '$cmd'" ;;
  esac
}

main "$@"
