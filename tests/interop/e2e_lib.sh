# Shared helpers of the end-to-end tests of the program (sourced after lib.sh): start the
# Vantrel program or the e2e driver on a host the way a user would run it there, wait for it,
# read its settings hive, and talk to the driver.
: "${E2E_DRIVER:?}" "${VANTREL_PROGRAM:?}"
command -v sqlite3 >/dev/null || { echo "SKIP: the sqlite3 tool is not installed"; exit $SKIP; }

# The programs read /etc/samba/smb.conf. Each host gets its own (its name, workgroup LANFOLK,
# eth0 only) in a private mount namespace; a machine without one leaves them their defaults.
if [ -f /etc/samba/smb.conf ]; then WG=LANFOLK; else WG=WORKGROUP; fi

# The words that run a command on HOST inside a mount namespace where /etc/samba/smb.conf is the
# host's own, into the array IN_HOST: "$LAN_SH" run HOST "${IN_HOST[@]}" cmd... The command
# replaces each program before it (exec all the way), so $! of a background call is its pid.
in_host_conf() {
  local conf
  conf=$(write_smbconf "$1" "$WG")
  IN_HOST=(unshare --mount -- sh -c '
    conf="$1"; shift
    if [ -f /etc/samba/smb.conf ]; then mount --bind "$conf" /etc/samba/smb.conf || exit 3; fi
    exec "$@"' sh "$conf")
}

# Runs a command on a host with the host's own smb.conf.
on_host_conf() {
  local host="$1"
  shift
  in_host_conf "$host"
  "$LAN_SH" run "$host" "${IN_HOST[@]}" "$@"
}

# start_app HOST TAG PROGRAM: starts PROGRAM (the Vantrel program or the driver) on HOST with the
# settings and temporary folder $WORK/TAG, offscreen; output appended to $WORK/TAG.out. Sets
# APP_PID. With APP_STDIN=FD the program reads its standard input from that descriptor (the
# driver's commands); otherwise from /dev/null.
start_app() {
  local host="$1" tag="$2" program="$3"
  mkdir -p "$WORK/$tag/config"
  in_host_conf "$host"
  launch_app "$tag" "$LAN_SH" run "$host" "${IN_HOST[@]}" env TMPDIR="$WORK/$tag" \
    XDG_CONFIG_HOME="$WORK/$tag/config" QT_QPA_PLATFORM=offscreen "$program"
}

# launch_app TAG CMD...: runs CMD in the background, its output appended to $WORK/TAG.out, its
# standard input $APP_STDIN when set, else /dev/null. Sets APP_PID.
launch_app() {
  local tag="$1"
  shift
  # (a background command's standard input is /dev/null unless it is redirected right here)
  if [ -n "${APP_STDIN:-}" ]; then
    "$@" <&"$APP_STDIN" >>"$WORK/$tag.out" 2>&1 &
  else
    "$@" </dev/null >>"$WORK/$tag.out" 2>&1 &
  fi
  APP_PID=$!
  BACKGROUND_PIDS+=($!)
}

# start_driver HOST TAG MODE: the e2e driver on HOST (as start_app HOST TAG), reading its
# commands from descriptor 3, the FIFO $WORK/driver.cmd opened both ways (so opening never
# blocks); waits until it is ready in MODE ("mailslot mode"). Sets DRIVER.
start_driver() {
  local host="$1" tag="$2" mode="$3"
  mkfifo "$WORK/driver.cmd"
  exec 3<>"$WORK/driver.cmd"
  APP_STDIN=3 start_app "$host" "$tag" "$E2E_DRIVER"
  DRIVER=$APP_PID
  wait_for_line "$WORK/$tag.out" '^ready: ' 30
  grep -qx "mode: $mode" "$WORK/$tag.out" || fail "driver mode: $(cat "$WORK/$tag.out")"
}

# Waits until HOST has UDP port PORT bound (at most $3 seconds).
wait_udp_bound() {
  local host="$1" port="$2" seconds="${3:-20}" n=0
  until [ -n "$(lan run "$host" ss -Hlun "sport = :$port" 2>/dev/null)" ]; do
    n=$((n + 1))
    [ $n -le $((seconds * 10)) ] || fail "UDP $port on $host not bound within ${seconds}s"
    sleep 0.1
  done
}

# Waits until the Vantrel program started with APP_PID on HOST receives: the mailslot port and
# the name responder's port are bound, by the program itself.
wait_program_ready() {
  local host="$1" pid="$2"
  wait_udp_bound "$host" 138 30
  wait_udp_bound "$host" 137 30
  [ "$(readlink "/proc/$pid/exe")" = "$(readlink -f "$VANTREL_PROGRAM")" ] \
    || fail "pid $pid on $host is not the Vantrel program"
}

# Waits at most $2 seconds for the background job $1 to end; its exit status in EXIT_STATUS.
wait_exit() {
  local pid="$1" seconds="$2" n=0
  while kill -0 "$pid" 2>/dev/null; do
    n=$((n + 1))
    if [ $n -gt $((seconds * 10)) ]; then
      kill -9 "$pid" 2>/dev/null || true
      fail "pid $pid did not end within ${seconds}s"
    fi
    sleep 0.1
  done
  EXIT_STATUS=0
  { wait "$pid"; } 2>/dev/null || EXIT_STATUS=$?
}

# Stops a capture that tshark writes to a file and waits for it to end. The kernel hands captured
# packets to the capture in blocks, at the latest after its read timeout (250 ms); an interrupt
# before that loses the last block, so the packets of the last exchange would be missing.
stop_capture() {
  local pid="$1"
  sleep 1
  kill -INT "$pid" 2>/dev/null || true
  wait_exit "$pid" 20
}

# Waits until a file holds a line that is exactly the given text, at most $3 seconds.
wait_for_exact() {
  local file="$1" text="$2" seconds="${3:-10}" n=0
  until grep -Fxq -- "$text" "$file" 2>/dev/null; do
    n=$((n + 1))
    if [ $n -gt $((seconds * 10)) ]; then
      echo "--- $file:" >&2
      cat "$file" >&2 || true
      fail "no line '$text' in $file within ${seconds}s"
    fi
    sleep 0.1
  done
}

# A Message record given in hex as "time|sender|receiver|text" (ASCII texts).
decode_record() {
  local hex="${1:8}" out="" i byte
  for ((i = 0; i < ${#hex}; i += 2)); do
    byte=${hex:i:2}
    if [ "$byte" = 00 ]; then out+="|"; else out+="\\x$byte"; fi
  done
  out=$(printf '%b' "$out")
  out="${out%|}"
  echo "${out%|}"
}

# The saved messages in the hive of $WORK/TAG, one "time|sender|receiver|text" line each,
# newest (SavedMsg0) first. Read-only, as another program may be using the hive.
saved_messages() {
  local hive="$WORK/$1/config/Korbelund/registry.sqlite" name hex
  [ -f "$hive" ] || return 0
  sqlite3 -readonly -batch -noheader -separator ' ' "$hive" \
    "SELECT v.name, hex(v.data) FROM reg_values v JOIN reg_keys k ON k.id = v.key_id
     WHERE k.folded = 'SOFTWARE\\KORBELUND\\TESSIVANE\\SAVEDMSG'
     ORDER BY length(v.name), v.name;" 2>/dev/null |
    while read -r name hex; do decode_record "$hex"; done
}

# Waits until the hive of $WORK/TAG saves a message "sender|receiver|text" (at most $3 seconds)
# and prints its receive time.
wait_for_saved() {
  local tag="$1" fields="$2" seconds="${3:-15}" n=0 line
  while :; do
    line=$(saved_messages "$tag" | grep -F -- "|$fields" | grep -E '^[0-9: -]{19}\|' | head -n1 || true)
    if [ -n "$line" ] && [ "${line#*|}" = "$fields" ]; then
      echo "${line%%|*}"
      return 0
    fi
    n=$((n + 1))
    if [ $n -gt $((seconds * 10)) ]; then
      echo "--- saved messages of $tag:" >&2
      saved_messages "$tag" >&2
      fail "'$fields' not saved in the hive of $tag within ${seconds}s"
    fi
    sleep 0.1
  done
}

# The automatic answer a computer sends for a message it received at a time.
answer_text() { echo "I've got your message on $1."; }

# Hex of a text, as tshark prints data fields.
hex_of() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
