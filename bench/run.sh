#!/usr/bin/env bash
# Runs the benchmarks on a private test LAN and takes it down again (root only).
#
#   bench/run.sh [BUILD_DIR]     default build/release, else build/debug
#
# (a) receive path: datagrams per second from the socket to Message records, against a bare
#     UDP receive loop on the same LAN; each round is a burst of 100,000 datagrams, and what
#     arrived of them is counted; finally one flood far beyond a real sender's rate.
# (b) name check for a present name against Samba's nmblookup for the same name.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-}
if [ -z "$BUILD" ]; then
  for b in "$ROOT/build/release" "$ROOT/build/debug"; do
    [ -x "$b/bench/bench_receive_path" ] && { BUILD=$b; break; }
  done
fi
[ -n "$BUILD" ] && [ -x "$BUILD/bench/bench_receive_path" ] \
  || { echo "build the benchmarks first (cmake --build --preset release)" >&2; exit 2; }
LAN_SH="$ROOT/scripts/lan.sh"
RP="$BUILD/bench/bench_receive_path"
NC="$BUILD/bench/bench_name_check"
COUNT=${BENCH_COUNT:-100000}
ROUNDS=${BENCH_ROUNDS:-3}

"$LAN_SH" check
export VANTREL_LAN="bench$$"
export VANTREL_LAN_OWNER=$$
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-bench.XXXXXX")
trap '"$LAN_SH" down; rm -rf "$WORK"' EXIT
"$LAN_SH" up SENDER RECEIVER SAMBA >/dev/null
"$LAN_SH" nmbd SAMBA SAMBAWG >/dev/null
R=$("$LAN_SH" addr RECEIVER)

conf() {
  local dir="$WORK/conf-$1"
  mkdir -p "$dir"
  printf '[global]\n netbios name = %s\n workgroup = %s\n interfaces = eth0\n bind interfaces only = yes\n lock directory = %s\n state directory = %s\n cache directory = %s\n pid directory = %s\n private dir = %s\n' \
    "$1" "$2" "$dir" "$dir" "$dir" "$dir" "$dir" >"$dir/smb.conf"
  echo "$dir/smb.conf"
}
RCONF=$(conf RECEIVER LANFOLK)
SCONF=$(conf SENDER LANFOLK)

val() { sed -n "s/^$2: //p" "$1" | head -n1; }

# One round: a receiver in the background, the sender, the receiver's figures.
round() {
  local kind="$1" port="$2" out="$WORK/$1.out" send="$WORK/$1.send" flood="${3:-}"
  if [ "$kind" = bare ]; then
    "$LAN_SH" run RECEIVER "$RP" bare "$port" >"$out" 2>&1 &
  else
    "$LAN_SH" run RECEIVER "$RP" endpoint --smbconf "$RCONF" >"$out" 2>&1 &
  fi
  local pid=$!
  local n=0
  until grep -qs '^ready' "$out"; do
    n=$((n + 1)); [ $n -lt 100 ] || { cat "$out" >&2; exit 1; }
    sleep 0.05
  done
  "$LAN_SH" run SENDER "$RP" send "$R" "$port" "$COUNT" RECEIVER $flood >"$send"
  wait $pid
  echo "$(val "$out" rate) $(val "$out" cpu-rate) $(val "$out" received) $(val "$send" sent)"
}

echo "== (a) receive path, $COUNT datagrams a round, $ROUNDS rounds each"
echo "   wall: first arrival to last consumed; cpu: datagrams per second of receiver CPU time"
sum() { awk -v a="$1" -v b="$2" 'BEGIN{print a+b}'; }
tb=0; te=0; cb=0; ce=0; lost=0; total=0
for i in $(seq 1 "$ROUNDS"); do
  read -r rb cpb nb sb < <(round bare 13800)
  read -r re cpe ne se < <(round endpoint 138)
  printf '  round %d: bare %8.0f/s wall %9.0f/s cpu (%s/%s)   endpoint %8.0f/s wall %9.0f/s cpu (%s/%s)\n' \
    "$i" "$rb" "$cpb" "$nb" "$sb" "$re" "$cpe" "$ne" "$se"
  tb=$(sum "$tb" "$rb"); te=$(sum "$te" "$re"); cb=$(sum "$cb" "$cpb"); ce=$(sum "$ce" "$cpe")
  lost=$((lost + se - ne)); total=$((total + se))
done
awk -v e="$te" -v b="$tb" -v ce="$ce" -v cb="$cb" 'BEGIN{
  printf "  ratio endpoint/bare, wall rate: %.2f   cpu rate: %.2f   (target >= 0.5)\n", (b>0)?e/b:0, (cb>0)?ce/cb:0 }'
echo "  burst of $COUNT, endpoint, all rounds: received $((total - lost)) of $total sent (lost $lost)"
grep -E '^(udp-received|dropped|kernel-buffer-drops):' "$WORK/endpoint.out" | sed 's/^/  last round /'
read -r rf cpf nf sf < <(round endpoint 138 --flood)
printf '  flood (sendmmsg, beyond any real sender): endpoint received %s of %s at %.0f/s\n' \
  "$nf" "$sf" "$rf"

echo "== (b) name check for a present name vs nmblookup"
"$LAN_SH" run SENDER "$NC" SAMBA --runs "${BENCH_NAME_RUNS:-20}" --smbconf "$SCONF" | sed 's/^/  /'
