#!/usr/bin/env bash
# Builds the Windows programs, libraries and tests (everything) into build/win:
# installs the packages, builds (or reuses) the cross-compiled dependency sysroot and
# configures the mingw-w64 build against it.
#
#   build-windows.sh [TARGET...]      no targets: all
#
# Environment: CRV_BUILD_DIR (default build/win), CRV_JOBS (default: the number of cores),
# CRV_SYSROOT (a ready sysroot: skips tools/build-deps.sh), CRV_WIN_ARCH (i686, the
# device's; x86_64 builds the 64-bit programs, run with CRV_WIN_ARCH=x86_64 set for the Wine
# scripts too).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${CRV_BUILD_DIR:-build/win}
jobs=${CRV_JOBS:-$(nproc)}

bash tools/install-packages.sh
sysroot=${CRV_SYSROOT:-}
if [ -z "$sysroot" ]; then
  sysroot=$(bash tools/build-deps.sh "${CRV_WIN_ARCH:-i686}" | tail -n1)
fi
if [ ! -d "$sysroot" ]; then
  echo "build-windows.sh: no dependency sysroot at '$sysroot'" >&2
  exit 1
fi

echo "== Windows build in $build (dependencies: $sysroot)" >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake" \
  -DCRV_WIN_ARCH="${CRV_WIN_ARCH:-i686}" -DCRV_SYSROOT="$sysroot" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j "$jobs" "${targets[@]}"
