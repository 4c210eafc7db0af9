#!/usr/bin/env bash
# Builds the Debian package vantrel and checks it with lintian.
#
#   scripts/package.sh                  installs what packaging needs, builds the release
#                                       preset and writes build/package/vantrel_*.deb
#   scripts/package.sh --build-dir DIR  packs the already built tree DIR instead (no apt-get,
#                                       no build; the tests use this on the tree they test)
#
# Further options: --out DIR (where the .deb goes; default build/package), --no-lintian.
# lintian's errors fail the script; its warnings are printed. The path of the package is the
# last line of the output.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

build_dir=""
from_tree=no
out_dir="$ROOT/build/package"
run_lintian=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; from_tree=yes; shift 2 ;;
    --out) out_dir="$2"; shift 2 ;;
    --no-lintian) run_lintian=no; shift ;;
    *) echo "usage: scripts/package.sh [--build-dir DIR] [--out DIR] [--no-lintian]" >&2; exit 2 ;;
  esac
done

if [ -z "$build_dir" ]; then
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  # The build's own needs, then the packaging tools: dpkg-shlibdeps (dpkg-dev) computes the
  # dependencies, lintian checks the result, setcap (libcap2-bin) is what postinst runs.
  "$ROOT/scripts/install-deps.sh" --runtime-only
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
    dpkg-dev lintian libcap2-bin
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR-$ROOT}
  command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
  cd "$ROOT"
  cmake --preset release
  # Only what the package holds, not the tests, fuzzers and benchmarks.
  cmake --build --preset release -j 2 --target vantrel_package_contents
  build_dir="$ROOT/build/release"
fi

# A tool that is missing: an error here, a skip (77) for a test that packs its tree.
missing() {
  echo "SKIP: $1 is not installed (scripts/install-deps.sh installs it)" >&2
  if [ "$from_tree" = yes ]; then exit 77; fi
  exit 1
}
[ -f "$build_dir/CPackConfig.cmake" ] || { echo "no CPackConfig.cmake in $build_dir" >&2; exit 1; }
command -v dpkg-shlibdeps >/dev/null || missing dpkg-shlibdeps
if [ "$run_lintian" = yes ]; then command -v lintian >/dev/null || missing lintian; fi

mkdir -p "$out_dir"
if [ "$from_tree" = yes ]; then
  # A tree built only in part still has what the package holds (nothing to do when built).
  cmake --build "$build_dir" --target vantrel_package_contents >"$out_dir/build.log" 2>&1 \
    || { cat "$out_dir/build.log" >&2; exit 1; }
fi
rm -f "$out_dir"/vantrel_*.deb
cpack --config "$build_dir/CPackConfig.cmake" -B "$out_dir" >"$out_dir/cpack.log" 2>&1 \
  || { cat "$out_dir/cpack.log" >&2; exit 1; }
rm -rf "$out_dir/_CPack_Packages"
debs=("$out_dir"/vantrel_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then cat "$out_dir/cpack.log" >&2; exit 1; fi
deb=${debs[0]}

if [ "$run_lintian" = yes ]; then
  # Exit status 1 on any error tag; warnings (and the reasons) are printed.
  echo "lintian $(basename "$deb"):"
  status=0
  lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' || status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ]; then
    echo "lintian found errors (status $status)" >&2
    exit 1
  fi
  echo "lintian: no errors"
fi
echo "$deb"
