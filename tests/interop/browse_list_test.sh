#!/usr/bin/env bash
# Browsing with a real master browser: Samba's nmbd is the local master browser of workgroup
# LAB on host SAMBA and its smbd serves the browse list over SMB1. On BOB, "vantrel-send --list"
# (no program runs there, so it enumerates by itself through libsmbclient) shows LAB with
# \\SAMBA and its comment, and "vantrel-send -m hi .." reaches a receiver of LAB on CAROL.
# Then GHOST becomes the master browser of DARK but cannot be reached from BOB (BOB's neighbour
# entry for it points nowhere: name queries reach it and its answers come back, nothing
# else); --list still ends in about 3 s.
source "$(dirname "$0")/lib.sh"
: "${INTEROP_PEER:?}" "${VANTREL_SEND:?}"
command -v smbd >/dev/null || { echo "SKIP: Samba's smbd is not installed" >&2; exit $SKIP; }

lan up SAMBA BOB CAROL GHOST >/dev/null
lan nmbd SAMBA LAB "server string = Lab file server" "server min protocol = NT1" \
  "preferred master = yes" "os level = 65" >/dev/null
lan smbd SAMBA
confB=$(write_smbconf BOB LAB)
confC=$(write_smbconf CAROL LAB)

# vantrel-send and its libsmbclient read /etc/samba/smb.conf: BOB's, in a private mount
# namespace (so nothing of the machine's Samba configuration or caches is used). TMPDIR is
# BOB's own: no program runs there to be asked.
mkdir -p "$WORK/home" "$WORK/tmp-BOB"
tool() {
  lan run BOB unshare --mount -- sh -c '
    conf="$1"; shift
    if [ -f /etc/samba/smb.conf ]; then mount --bind "$conf" /etc/samba/smb.conf || exit 3; fi
    exec "$@"' sh "$confB" env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
    TMPDIR="$WORK/tmp-BOB" "$VANTREL_SEND" "$@"
}

lan master SAMBA LAB 60
# The master browser lists its own server at once; retry briefly while smbd settles.
list_until '    \\\\SAMBA Lab file server' tool --list
echo "--- vantrel-send --list on BOB:"
cat "$WORK/list"
grep -qx 'LAB' "$WORK/list" || fail "LAB is not listed"
grep -qx '    \\\\SAMBA Lab file server' "$WORK/list" || fail "\\\\SAMBA with its comment is not listed"
grep -qx '    \\\\BOB' "$WORK/list" || fail "this computer is not listed in its workgroup"
# Each workgroup once; its computers follow it, indented.
[ "$(grep -cx 'LAB' "$WORK/list")" -eq 1 ] || fail "LAB listed twice"
awk 'NR == 1 && /^ / { exit 1 }' "$WORK/list" || fail "the list starts with a computer"
pass "--list shows LAB with \\\\SAMBA and its comment, and this computer"

on_host_bg CAROL "$WORK/carol" "$INTEROP_PEER" --smbconf "$confC" receive 1 --timeout 30
wait_for_line "$WORK/carol" '^mailslot: owned'
tool -m 'hi' .. >"$WORK/send.out" 2>"$WORK/send.err" || fail "-m hi ..: exit $? ($(cat "$WORK/send.err"))"
wait_for_line "$WORK/carol" '^received: ' 20
grep -q 'sender=BOB receiver=LAB text=hi$' "$WORK/carol" || fail "record on CAROL: $(cat "$WORK/carol")"
pass "vantrel-send -m hi .. reaches the workgroup LAB"

# A master browser that the name service lists but that cannot be reached.
lan nmbd GHOST DARK "preferred master = yes" "os level = 65" >/dev/null
lan master GHOST DARK 60
ip -n "vtl-$VANTREL_LAN-BOB" neigh replace "$(lan addr GHOST)" lladdr 02:00:00:00:00:99 \
  nud permanent dev eth0
start=$(date +%s%N)
tool --list >"$WORK/list2" 2>"$WORK/list2.err" || fail "--list with GHOST: exit $?"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "--- vantrel-send --list with an unreachable master browser took ${elapsed_ms} ms:"
cat "$WORK/list2"
[ "$elapsed_ms" -lt 6000 ] || fail "--list took ${elapsed_ms} ms with an unreachable master browser"
grep -qx '    \\\\BOB' "$WORK/list2" || fail "this computer is missing when a master browser hangs"
pass "--list ends in ${elapsed_ms} ms with an unreachable master browser"
