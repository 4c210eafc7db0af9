# Shared set-up of the interop tests: skip when no private LAN can be built here, build one
# with a name of its own, and take it down again however the test ends.
set -euo pipefail

: "${LAN_SH:?LAN_SH must name scripts/lan.sh}"
SKIP=77

"$LAN_SH" check || exit $?

export VANTREL_LAN="it$$"
export VANTREL_LAN_OWNER=$$
# Leftovers of interop runs that crashed, and of an earlier run that had this process id.
"$LAN_SH" gc it >/dev/null 2>&1 || true
"$LAN_SH" down
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-interop.XXXXXX")
BACKGROUND_PIDS=()

interop_cleanup() {
  local status=$?
  local pid
  for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$LAN_SH" down || true
  if [ $status -ne 0 ] && [ $status -ne $SKIP ] && [ -n "${KEEP_WORK_ON_FAILURE:-}" ]; then
    echo "work files kept in $WORK" >&2
  else
    rm -rf "$WORK"
  fi
  exit $status
}
trap interop_cleanup EXIT
trap 'exit 130' INT TERM

lan() { "$LAN_SH" "$@"; }

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

pass() { echo "ok: $*"; }

# Runs a command in the background on a host and remembers its pid for the cleanup.
on_host_bg() {
  local host="$1" out="$2"
  shift 2
  "$LAN_SH" run "$host" "$@" >"$out" 2>&1 &
  BACKGROUND_PIDS+=($!)
}

# Waits until a file holds a line matching a pattern (grep -E), at most $3 seconds.
wait_for_line() {
  local file="$1" pattern="$2" seconds="${3:-10}" n=0
  until grep -Eq "$pattern" "$file" 2>/dev/null; do
    n=$((n + 1))
    if [ $n -gt $((seconds * 10)) ]; then
      echo "--- $file:" >&2
      cat "$file" >&2 || true
      fail "no line matching '$pattern' in $file within ${seconds}s"
    fi
    sleep 0.1
  done
}

# A minimal smb.conf for host $1 (workgroup $2) so that nothing is read from the machine's own;
# further arguments are extra [global] lines; CONF_TAG (optional) tells two confs of one host
# apart.
write_smbconf() {
  local host="$1" wg="$2" dir="$WORK/conf-$1${CONF_TAG:-}" line
  shift 2
  mkdir -p "$dir"
  cat >"$dir/smb.conf" <<CONF
[global]
  netbios name = $host
  workgroup = $wg
  interfaces = eth0
  bind interfaces only = yes
  lock directory = $dir
  state directory = $dir
  cache directory = $dir
  pid directory = $dir
  private dir = $dir
  ncalrpc dir = $dir
  log file = $dir/log
CONF
  for line in "$@"; do echo "  $line" >>"$dir/smb.conf"; done
  echo "$dir/smb.conf"
}

# list_until LINE CMD...: runs a network listing (vantrel-send --list) into $WORK/list, its
# errors into $WORK/list.err, up to five times two seconds apart until the list has the line
# LINE; fails when the command does.
list_until() {
  local line="$1" try
  shift
  for try in 1 2 3 4 5; do
    "$@" >"$WORK/list" 2>"$WORK/list.err" || fail "--list: exit $? ($(cat "$WORK/list.err"))"
    grep -qx -- "$line" "$WORK/list" && break
    sleep 2
  done
}

# The value of "key: value" in a file.
value_of() { sed -n "s/^$2: //p" "$1" | head -n1; }

# A Python 3 that has scapy (Debian's, when pyenv or a venv shadows it).
find_scapy_python() {
  local py
  for py in python3 /usr/bin/python3; do
    if command -v "$py" >/dev/null && "$py" -c 'import scapy.all' 2>/dev/null; then
      echo "$py"
      return 0
    fi
  done
  return 1
}
