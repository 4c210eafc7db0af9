#!/usr/bin/env bash
# Checks the built DLLs with objdump: the exports by their undecorated names, the shared
# section, and imports from the system's DLLs only.
#   check-dll-layout.sh <objdump> <Vantrel.dll> <VantrelTest.dll>
set -euo pipefail
objdump=$1 production=$2 test_build=$3
if [ -z "$objdump" ] || [ "$objdump" = "VANTREL_MINGW_OBJDUMP-NOTFOUND" ]; then
  echo "SKIP: x86_64-w64-mingw32-objdump not found"
  exit 77
fi
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

exports() { # the names in the export table, one a line
  "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p'
}
check_exports() { # <dll> <expected names, sorted, one a line>
  local actual
  actual=$(exports "$1" | LC_ALL=C sort)
  echo "$(basename "$1") exports: $(echo $actual)"
  [ "$actual" = "$2" ] || fail "$(basename "$1") exports '$(echo $actual)'"
}
check_shared_section() { # the section Shared: 8 bytes (two 32-bit words), shared
  local line flags
  line=$("$objdump" -h "$1" | grep -A1 -E '^ +[0-9]+ Shared ' || true)
  echo "$(basename "$1") section: $(echo $line)"
  [ -n "$line" ] || { fail "$(basename "$1") has no section Shared"; return; }
  [ "$(echo "$line" | awk 'NR==1 {print $3}')" = "00000008" ] || fail "section Shared is not 8 bytes"
  flags=$(echo "$line" | sed -n 2p)
  for flag in DATA SHARED; do
    echo "$flags" | grep -qw "$flag" || fail "$(basename "$1"): section Shared is not $flag"
  done
}
check_imports() { # nothing but system DLLs (no libgcc or libwinpthread to ship)
  local dlls
  dlls=$("$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
  echo "$(basename "$1") imports: $dlls"
  [ "$dlls" = "KERNEL32.DLL MSVCRT.DLL USER32.DLL " ] || fail "$(basename "$1") imports $dlls"
}

check_exports "$production" $'StartFunc\nStopFunc'
check_exports "$test_build" $'ShellHookProc\nStartFunc\nStopFunc'
for dll in "$production" "$test_build"; do
  check_shared_section "$dll"
  check_imports "$dll"
done
echo "dll layout: $failures failed"
[ "$failures" -eq 0 ]
