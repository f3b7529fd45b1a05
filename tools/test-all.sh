#!/usr/bin/env bash
# Builds everything and runs every test, on a fresh machine too: installs the packages,
# builds the cross-compiled dependencies (cached), configures both builds, runs the native
# tests directly and the Windows tests under Wine in a throw-away session.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${CRV_JOBS:-$(nproc)}

bash tools/install-packages.sh

echo "== native build"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs"
echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "$jobs"
