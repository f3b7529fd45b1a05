#!/usr/bin/env bash
# Builds everything and runs every test, on a fresh machine too: installs the packages,
# builds the cross-compiled dependencies (cached), then
#   1. the native build and its tests,
#   2. the fuzz build (clang, libFuzzer with ASan/UBSan) and a short run of every fuzz target,
#   3. the Windows build and its tests under Wine, in a throw-away session
#      (Xvfb, fresh prefix, null-sink sound server),
#   4. the emulated device: prepared, the player started in it, a screenshot checked; then the
#      scenarios (tools/tests/scenario): the player driven by X input in throw-away devices.
# Fails when any step or test fails.
#
# Environment: CRV_JOBS (parallel jobs), CRV_SYSROOT (a ready dependency sysroot),
# CRV_TEST_STEPS (which steps to run, default "native fuzz windows device").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${CRV_JOBS:-$(nproc)}
steps=" ${CRV_TEST_STEPS:-native fuzz windows device} "
want() { [[ "$steps" == *" $1 "* ]]; }

stamp() { echo "== $(date -u +%H:%M:%S) $*"; }

bash tools/install-packages.sh

if want native; then
  stamp "native build"
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/native -j "$jobs"
  stamp "native tests"
  ctest --test-dir build/native --output-on-failure -j "$jobs"
fi

if want fuzz; then
  stamp "fuzz build"
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCRV_FUZZ=ON \
    -DCRV_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build/fuzz -j "$jobs" --target crv_fuzzers
  stamp "fuzz runs"
  ctest --test-dir build/fuzz --output-on-failure -j "$jobs" -R '_fuzz$'
fi

if want windows || want device; then
  sysroot=${CRV_SYSROOT:-}
  if [ -z "$sysroot" ]; then
    stamp "dependency sysroot"
    sysroot=$(bash tools/build-deps.sh "${CRV_WIN_ARCH:-i686}" | tail -n1)
  fi
  stamp "Windows build"
  CRV_SYSROOT="$sysroot" CRV_BUILD_DIR=build/win CRV_JOBS="$jobs" bash tools/build-windows.sh
fi

if want windows; then
  stamp "Windows tests under Wine"
  # One session for the whole run, the tests one after another: several of them start real
  # instances of the player, own the foreground window or the sound device, and under Wine
  # those share one desktop.
  bash tools/wine-session.sh ctest --test-dir build/win --output-on-failure
fi

if want device; then
  stamp "emulated device"
  CRV_BUILD_DIR=build/win bash tools/tests/device_test.sh
  stamp "scenarios on the emulated device"
  CRV_BUILD_DIR=build/win bash tools/tests/scenario/run.sh
fi
stamp "all tests passed"
