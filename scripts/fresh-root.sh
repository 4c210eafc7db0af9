#!/usr/bin/env bash
# Runs a command the way CI does: as root, without a display, on a clean clone of this
# repository, in a throwaway minimal Debian 12 root made fresh for every run.
#
#   scripts/fresh-root.sh [OPTIONS] -- COMMAND [ARGS...]   e.g. -- scripts/test.sh
#   scripts/fresh-root.sh [OPTIONS] --shell                 an interactive shell instead
#   scripts/fresh-root.sh --gc                              clean up after a killed run
#
#   --rev REV       revision to clone (default HEAD of the repository)
#   --repo PATH     repository to clone (default the one this script lives in)
#   --keep          keep the root (unmounted) for inspection; its path is printed
#   --in DIR        run in a root kept earlier instead of a fresh one (implies --keep)
#   --env NAME=VAL  add a variable to the clean environment (e.g. --env LANG=C.UTF-8)
#   --log FILE      log file (default under $FRESH_ROOT_WORK/logs)
#   --net private   a network namespace of its own with only loopback: nothing the command
#                   starts reaches the machine's network (use it for anything that starts the
#                   program); apt still reaches its http mirrors through relays. Default: host
#   --rebuild       make the pristine root again
#
# Needs root. The pristine root (debootstrap --variant=minbase bookworm from the host's own
# Debian mirror, made on first use) is cached as $FRESH_ROOT_TAR (default
# /work/fresh-root/bookworm-minbase.tar); throwaway roots and logs go to $FRESH_ROOT_WORK
# (default the tarball's folder). The command runs in /src with only HOME=/root and the standard
# PATH set (no DISPLAY, no LANG), stdin from /dev/null. Its output is also written to the log
# printed at the end; everything mounted is unmounted and the root removed however the run
# ends. Exits with the command's status.
set -euo pipefail
umask 022
# Everything below is one compound command: bash reads it whole before running it, so editing
# this file (or checking out another revision) while a long run goes on cannot derail it.
{

SUITE=bookworm
STD_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
TARBALL="${FRESH_ROOT_TAR:-/work/fresh-root/bookworm-minbase.tar}"
WORK="${FRESH_ROOT_WORK:-$(dirname "$TARBALL")}"

note() { echo "fresh-root: [$(date +%T)] $*" >&2; }
die() { note "$*"; exit 2; }
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rev=HEAD keep=0 shell=0 rebuild=0 gc=0 log="" reuse="" net=host
extra_env=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rev) [ $# -ge 2 ] || die "--rev needs a revision"; rev="$2"; shift 2 ;;
    --repo) [ $# -ge 2 ] || die "--repo needs a path"; repo="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    --in) [ $# -ge 2 ] || die "--in needs a directory"; reuse="$2"; keep=1; shift 2 ;;
    --shell) shell=1; shift ;;
    --env)
      [[ "${2:-}" =~ ^[A-Za-z_][A-Za-z0-9_]*= ]] || die "--env needs NAME=VALUE"
      extra_env+=("$2"); shift 2 ;;
    --log) [ $# -ge 2 ] || die "--log needs a file"; log="$2"; shift 2 ;;
    --net)
      case "${2:-}" in host | private) net="$2" ;; *) die "--net takes 'host' or 'private'" ;; esac
      shift 2 ;;
    --rebuild) rebuild=1; shift ;;
    --gc) gc=1; shift ;;
    -h | --help) usage; exit 0 ;;
    --) shift; break ;;
    -*) die "unknown option '$1' (see --help)" ;;
    *) break ;;
  esac
done
if [ $gc -eq 0 ] && [ $shell -eq 0 ] && [ $# -eq 0 ]; then
  die "no command given: scripts/fresh-root.sh [OPTIONS] -- COMMAND [ARGS...] (see --help)"
fi
[ $shell -eq 0 ] || [ $# -eq 0 ] || die "--shell takes no command"
[ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, mounts, pivot_root)"

mkdir -p "$WORK" "$(dirname "$TARBALL")"
WORK="$(cd "$WORK" && pwd -P)"
TARBALL="$(cd "$(dirname "$TARBALL")" && pwd -P)/$(basename "$TARBALL")"
# findmnt escapes blanks in its output; a path without them compares as it stands.
[[ "$WORK" != *[[:space:]]* ]] || die "FRESH_ROOT_WORK must not contain blanks: '$WORK'"

# ---------------------------------------------------------------------------------------------
# Mounts, processes and trees under a directory

# Every mount point at or below $1, as the host sees them.
mounts_under() {
  findmnt -rn -o TARGET | awk -v d="$1" '$0 == d || index($0, d "/") == 1'
}

# Processes whose root directory is $1: everything started inside the root, including what
# runs in other mount or network namespaces or has left its session. (Compared by device and
# inode: from outside, the root of a process in another mount namespace reads as "/".)
pids_in() {
  local p
  [ -d "$1" ] || return 0
  for p in /proc/[0-9]*; do
    [ "$p/root" -ef "$1" ] && echo "${p#/proc/}"
  done
  return 0
}

stop_processes_in() {
  local dir="$1" sig pids
  for sig in TERM TERM KILL KILL; do
    pids=$(pids_in "$dir" | tr '\n' ' ')
    [ -n "$pids" ] || return 0
    note "stopping what still runs in the root (SIG$sig): $pids"
    # shellcheck disable=SC2086
    kill -s "$sig" $pids 2>/dev/null || true
    for _ in $(seq 50); do
      [ -n "$(pids_in "$dir")" ] || return 0
      sleep 0.1
    done
  done
  note "processes still run in $dir: $(pids_in "$dir" | tr '\n' ' ')"
  return 1
}

unmount_all_under() {
  local dir="$1" m
  for _ in 1 2 3; do
    [ -n "$(mounts_under "$dir")" ] || return 0
    stop_processes_in "$dir" || true
    if mountpoint -q "$dir"; then umount -R "$dir" 2>/dev/null || true; fi
    # Whatever is left (stacked mounts, a root that was never bound): deepest first.
    mounts_under "$dir" | sort -r | while read -r m; do umount "$m" 2>/dev/null || true; done
  done
  if [ -n "$(mounts_under "$dir")" ]; then
    note "detaching busy mounts under $dir"
    mounts_under "$dir" | sort -r | while read -r m; do umount -l "$m" 2>/dev/null || true; done
  fi
  if [ -n "$(mounts_under "$dir")" ]; then
    note "could not unmount:"; mounts_under "$dir" >&2
    return 1
  fi
}

# Removes a tree only once nothing is mounted below it.
remove_tree() {
  local dir="$1"
  [ -e "$dir" ] || return 0
  if [ -n "$(mounts_under "$dir")" ]; then
    note "not removing $dir: something is still mounted below it"
    return 1
  fi
  rm -rf --one-file-system "$dir"
}

# The relays of --net private: process groups listed in DIR/pids.
stop_relays() {
  local dir="$1" pid
  [ -f "$dir/pids" ] || return 0
  while read -r pid; do kill -- "-$pid" 2>/dev/null || true; done <"$dir/pids"
  rm -rf "$dir"
}

# ---------------------------------------------------------------------------------------------
# Clean-up after a run that was killed outright (SIGKILL, reboot): roots whose runner is gone.

if [ $gc -eq 1 ]; then
  rc=0
  for owner in "$WORK"/root.*.owner; do
    [ -f "$owner" ] || continue
    dir="${owner%.owner}"
    pid=$(cat "$owner" 2>/dev/null || echo 0)
    if [ "$pid" -gt 1 ] 2>/dev/null && kill -0 "$pid" 2>/dev/null; then continue; fi
    note "cleaning up $dir (its runner $pid is gone)"
    if unmount_all_under "$dir"; then
      if [ -f "$dir.keep" ]; then rm -f "$dir.keep"; else remove_tree "$dir" || rc=1; fi
      stop_relays "$dir.net"
      rm -f "$owner" "$dir.fifo"
    else
      rc=1
    fi
  done
  exit $rc
fi

# ---------------------------------------------------------------------------------------------
# The pristine root

# The host's Debian mirror for $SUITE: the first matching source in /etc/apt.
host_mirror() {
  {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk -v suite="$SUITE" '
        function flush() {
          if (uris != "" && tolower(enabled) != "no" && index(" " suites " ", " " suite " ") > 0)
            print uris
          uris = ""; suites = ""; enabled = ""
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        tolower($1) == "uris:" { uris = $2 }
        tolower($1) == "suites:" { $1 = ""; suites = $0 }
        tolower($1) == "enabled:" { enabled = $2 }
        END { flush() }' "$f"
    done
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk -v suite="$SUITE" '$1 == "deb" {
        i = 2
        if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) print $i
      }'
  } | awk 'NR == 1'
}

building=""
build_pristine() {
  if ! command -v debootstrap >/dev/null; then
    note "installing debootstrap"
    apt-get -o DPkg::Lock::Timeout=600 install -y debootstrap
  fi
  local mirror="${FRESH_ROOT_MIRROR:-$(host_mirror)}"
  [ -n "$mirror" ] || die "no '$SUITE' source in /etc/apt; set FRESH_ROOT_MIRROR"
  building=$(mktemp -d "$WORK/build.XXXXXX")
  note "making the pristine root: debootstrap --variant=minbase $SUITE $mirror"
  local t0=$SECONDS
  debootstrap --variant=minbase "$SUITE" "$building" "$mirror"
  # As a freshly installed machine: no downloaded packages, none of the build host's names;
  # the loopback entries the installer writes (the host name is added per run).
  rm -f "$building"/var/cache/apt/archives/*.deb "$building/etc/resolv.conf" \
    "$building/etc/hostname"
  printf '%s\n' "127.0.0.1	localhost" "" "::1	localhost ip6-localhost ip6-loopback" \
    "ff02::1	ip6-allnodes" "ff02::2	ip6-allrouters" >"$building/etc/hosts"
  chmod 755 "$building"
  tar --numeric-owner --xattrs --xattrs-include='*' -C "$building" -cf "$TARBALL.part" .
  mv -f "$TARBALL.part" "$TARBALL"
  remove_tree "$building"
  building=""
  note "pristine root cached as $TARBALL ($(du -h "$TARBALL" | cut -f1), $((SECONDS - t0)) s)"
}

# ---------------------------------------------------------------------------------------------
# One run

root="" fifo="" tee_pid="" status="" interrupted=""
t_start=$SECONDS

# shellcheck disable=SC2317 # called by the traps
finish() {
  local rc=$?
  trap '' INT TERM HUP
  set +e
  [ -n "$status" ] || status=$rc
  if [ -n "$building" ]; then
    unmount_all_under "$building" && remove_tree "$building"
    rm -f "$TARBALL.part"
  fi
  if [ -n "$root" ]; then
    stop_processes_in "$root"
    if [ -n "$tee_pid" ]; then
      # The writers are gone; give tee a moment to copy the rest.
      for _ in $(seq 50); do kill -0 "$tee_pid" 2>/dev/null || break; sleep 0.1; done
      kill "$tee_pid" 2>/dev/null
    fi
    rm -f "$fifo"
    stop_relays "$root.net"
    if unmount_all_under "$root"; then
      if [ "$keep" -eq 1 ]; then
        rm -f "$root.owner"
        note "kept the root (unmounted): $root"
        note "  enter it again: scripts/fresh-root.sh --in $root --shell"
        note "  remove it:      rm -rf --one-file-system $root $root.keep"
      else
        local t0=$SECONDS
        remove_tree "$root" && rm -f "$root.owner" "$root.keep" &&
          note "removed the root ($((SECONDS - t0)) s)"
      fi
    else
      note "left $root in place: it could not be unmounted (scripts/fresh-root.sh --gc retries)"
      [ "$status" -ne 0 ] || status=1
    fi
    [ -z "$(mounts_under "$root")" ] && note "no mounts left under $root"
  fi
  if [ -n "$log" ] && [ -f "$log" ]; then
    echo "# fresh-root: exit status $status${interrupted:+ (interrupted by SIG$interrupted)}" >>"$log"
    note "log: $log"
  fi
  note "exit status $status, $((SECONDS - t_start)) s in all"
  exit "$status"
}
# shellcheck disable=SC2317
on_signal() {
  status=$1
  interrupted=$2
  note "interrupted by SIG$2; cleaning up"
  exit "$1"
}
trap finish EXIT
trap 'on_signal 130 INT' INT
trap 'on_signal 143 TERM' TERM
trap 'on_signal 129 HUP' HUP

# The revision, resolved before anything is built.
sha=""
if [ -z "$reuse" ]; then
  sha=$(git -C "$repo" rev-parse --verify --quiet "$rev^{commit}") ||
    die "'$rev' is not a revision of $repo"
fi

exec 9>"$TARBALL.lock"
flock 9
if [ $rebuild -eq 1 ] || [ ! -f "$TARBALL" ]; then build_pristine; fi
exec 9>&-

if [ -n "$reuse" ]; then
  root="$(cd "$reuse" && pwd -P)"
  [ -d "$root/src" ] || die "$reuse holds no kept root"
  sha=$(git -C "$root/src" rev-parse HEAD 2>/dev/null || echo kept)
  [ -z "$(mounts_under "$root")" ] || die "$root is in use (something is mounted below it)"
else
  root=$(mktemp -d "$WORK/root.XXXXXX")
fi
echo $$ >"$root.owner"
[ $keep -eq 0 ] || touch "$root.keep"

if [ -z "$reuse" ]; then
  t0=$SECONDS
  tar --numeric-owner --xattrs --xattrs-include='*' -xpf "$TARBALL" -C "$root"
  chmod 755 "$root" # "/" of the root: mktemp made it 0700, which locks out every other user

  # The host's apt sources (only the files apt reads), with any key they name that the
  # fresh root lacks; its resolver; its host name, as the installer writes it.
  rm -f "$root/etc/apt/sources.list" "$root"/etc/apt/sources.list.d/*
  sources=()
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sources+=("$f")
  done
  for f in "${sources[@]}"; do
    case "$f" in
      /etc/apt/sources.list) cp "$f" "$root/etc/apt/" ;;
      *) cp "$f" "$root/etc/apt/sources.list.d/" ;;
    esac
  done
  if [ ${#sources[@]} -gt 0 ]; then
    grep -hoiE '(signed-by=|^signed-by:[[:space:]]*)/[^] ,]+' "${sources[@]}" |
      sed -E 's|^[^/]*||' | sort -u | while read -r key; do
      if [ ! -e "$root$key" ] && [ -f "$key" ]; then
        mkdir -p "$root$(dirname "$key")" && cp "$key" "$root$key"
      fi
    done
  fi
  rm -f "$root/etc/resolv.conf"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  hostname >"$root/etc/hostname"
  printf '127.0.1.1\t%s\n' "$(hostname)" >>"$root/etc/hosts"

  git clone --quiet --no-hardlinks --no-checkout "$repo" "$root/src"
  if ! git -C "$root/src" checkout --quiet --detach "$sha" 2>/dev/null; then
    git -C "$root/src" fetch --quiet "$repo" "$sha"
    git -C "$root/src" checkout --quiet --detach "$sha"
  fi
  note "fresh root $root with /src at $(git -C "$root/src" log -1 --format='%h %s') ($((SECONDS - t0)) s)"
fi

# What a booted machine has mounted. "/" inside is a mount point of its own, because
# `ip netns exec` re-mounts it (make-rslave) and fails on a plain directory. /dev is a tmpfs
# with the usual nodes and a private devpts: the host's devtmpfs would be the very same
# instance, so nothing written there stays inside the root.
mount --bind "$root" "$root"
mount --make-private "$root"
mount -t proc -o nosuid,nodev,noexec proc "$root/proc"
mount -t sysfs -o nosuid,nodev,noexec sysfs "$root/sys"
mount -t cgroup2 -o nosuid,nodev,noexec cgroup2 "$root/sys/fs/cgroup" 2>/dev/null ||
  note "no cgroup2 inside (mounting it failed)"
mount -t tmpfs -o nosuid,mode=755,size=64m tmpfs "$root/dev"
mknod -m 666 "$root/dev/null" c 1 3
mknod -m 666 "$root/dev/zero" c 1 5
mknod -m 666 "$root/dev/full" c 1 7
mknod -m 666 "$root/dev/random" c 1 8
mknod -m 666 "$root/dev/urandom" c 1 9
mknod -m 666 "$root/dev/tty" c 5 0
mkdir -m 755 "$root/dev/net"
mknod -m 666 "$root/dev/net/tun" c 10 200
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mkdir -m 755 "$root/dev/pts"
mount -t devpts -o newinstance,nosuid,noexec,gid=5,mode=620,ptmxmode=666 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mkdir -m 1777 "$root/dev/shm"
mount -t tmpfs -o nosuid,nodev,mode=1777 tmpfs "$root/dev/shm"
mount -t tmpfs -o nosuid,nodev,mode=755 tmpfs "$root/run"
mkdir -m 1777 "$root/run/lock"
mount -t tmpfs -o nosuid,nodev,mode=1777 tmpfs "$root/tmp"

# --net private: a network namespace with loopback only, held by a sleeping process. For each
# http mirror host in the root's apt sources, a relay listens on a loopback address inside
# (named in the root's /etc/hosts) and hands each connection through a Unix socket to a relay
# outside that connects to the mirror; nothing else leaves the namespace.
netns=()
start_private_net() {
  local dir="$root.net" hosts=() h i=0 addr port holder
  command -v socat >/dev/null || {
    note "installing socat (relays for --net private)"
    apt-get -o DPkg::Lock::Timeout=600 install -y socat
  }
  rm -rf "$dir"
  mkdir -m 700 "$dir"
  : >"$dir/pids"
  mapfile -t hosts < <(cat "$root/etc/apt/sources.list" "$root"/etc/apt/sources.list.d/*.list \
    "$root"/etc/apt/sources.list.d/*.sources 2>/dev/null |
    grep -v '^[[:space:]]*#' | grep -oE '[a-z+]+://[^/[:space:]]+' | sort -u)
  setsid unshare --net -- sh -c 'ip link set lo up && exec sleep infinity' </dev/null &
  holder=$!
  echo "$holder" >>"$dir/pids"
  for _ in $(seq 100); do
    nsenter --net="/proc/$holder/ns/net" ip -br link show lo 2>/dev/null | grep -q UNKNOWN && break
    sleep 0.05
  done
  netns=(nsenter --net="/proc/$holder/ns/net")
  for h in "${hosts[@]}"; do
    case "$h" in http://*) ;; *) die "--net private relays http mirrors only, not '$h'" ;; esac
    h=${h#http://} port=80
    case "$h" in *:*) port=${h##*:} h=${h%:*} ;; esac
    i=$((i + 1))
    addr="127.0.80.$i"
    setsid socat "UNIX-LISTEN:$dir/$i.sock,fork,mode=600" "TCP:$h:$port" </dev/null &
    echo $! >>"$dir/pids"
    setsid "${netns[@]}" socat "TCP-LISTEN:$port,bind=$addr,reuseaddr,fork" \
      "UNIX-CONNECT:$dir/$i.sock" </dev/null &
    echo $! >>"$dir/pids"
    printf '%s\t%s # fresh-root --net private\n' "$addr" "$h" >>"$root/etc/hosts"
    for _ in $(seq 100); do
      [ -S "$dir/$i.sock" ] && [ -n "$("${netns[@]}" ss -Hltn "src $addr:$port")" ] && break
      sleep 0.05
    done
    note "--net private: $h:$port relayed through $addr"
  done
}
sed -i '/# fresh-root --net private$/d' "$root/etc/hosts"
[ "$net" = host ] || start_private_net

env_args=(HOME=/root "PATH=$STD_PATH" ${extra_env[@]+"${extra_env[@]}"})
# Into the root: a mount namespace of its own whose "/" is the root (pivot_root, not chroot).
# Under a plain chroot, /proc/PID/exe and /proc/PID/cwd of a process in another mount
# namespace (everything `ip netns exec` starts) read as host paths (/work/.../src/...), unlike
# on a real machine. Mounts the command makes (`ip netns add`) stay in that namespace.
# shellcheck disable=SC2016 # expanded by the inner shell
enter=(${netns[@]+"${netns[@]}"} unshare --mount --propagation private -- /bin/sh -c
  'cd "$1" && shift && pivot_root . . && umount -l . && cd / && exec "$@"' fresh-root "$root")

if [ $shell -eq 1 ]; then
  note "shell in $root (exit to leave)"
  status=0
  env -i "${env_args[@]}" "TERM=${TERM:-dumb}" "${enter[@]}" \
    /bin/sh -c 'cd /src && exec /bin/bash -l' || status=$?
  exit "$status"
fi

if [ -z "$log" ]; then
  mkdir -p "$WORK/logs"
  log="$WORK/logs/$(date +%Y%m%d-%H%M%S)-${sha:0:8}.log"
fi
mkdir -p "$(dirname "$log")"
header="# fresh-root: $(date -Is) on $(hostname)
# root $root; /src at $(git -C "$root/src" log -1 --format='%H %s')
# environment: ${env_args[*]}; network: $net
# command: $*"
echo "$header" >>"$log"
echo "$header" >&2

# The command runs in the background so that a signal reaches this script's trap at once.
# Background jobs of a script start with SIGINT and SIGQUIT ignored; env gives them back.
fifo="$root.fifo"
rm -f "$fifo"
mkfifo "$fifo"
tee -i -a "$log" <"$fifo" &
tee_pid=$!
t_cmd=$SECONDS
env -i --default-signal=INT,QUIT "${env_args[@]}" "${enter[@]}" \
  /bin/sh -c 'cd /src && exec "$@"' fresh-root "$@" </dev/null >"$fifo" 2>&1 &
cmd_pid=$!
status=0
wait "$cmd_pid" || status=$?
# What the command left running (daemons, background jobs) would keep the log open.
stop_processes_in "$root" || true
wait "$tee_pid" || true
tee_pid=""
echo "# fresh-root: command ended with status $status after $((SECONDS - t_cmd)) s" | tee -a "$log" >&2
exit "$status"
}
