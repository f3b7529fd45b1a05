#!/usr/bin/env bash
# CMake's cross-compiling emulator for the Windows build: runs one Windows program under
# Wine inside the environment that tools/wine-session.sh (or tools/device.sh shell)
# prepared, and hands back its standard output, standard error and exit code untouched.
#
#   wine-run.sh PROGRAM.exe [ARGS...]
#
# Nothing is written to stdout or stderr by this script itself except when it refuses to run.
# The output arrives when the program has ended.
# Note: Windows programs write their text-mode output with CR LF line ends; that is the
# program's output and is passed on as it is.
set -u

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: WINEPREFIX is not set, so there is no Wine test session to run '$1' in." >&2
  echo "wine-run.sh: run the Windows tests through tools/wine-session.sh, e.g." >&2
  echo "wine-run.sh:   tools/wine-session.sh ctest --test-dir build/win --output-on-failure" >&2
  exit 2
fi
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "wine-run.sh: WINEPREFIX=$WINEPREFIX is not a ready Wine prefix (no drive_c/windows)." >&2
  exit 2
fi

. "$(dirname "${BASH_SOURCE[0]}")/wine-common.sh"
crv_wine_env
wine=$CRV_WINE

# The program's output goes through files, not straight to our caller's pipes: Wine may start
# helper processes on the way (the desktop's explorer, for one) that inherit the descriptors
# and outlive the program by many seconds, and a caller such as CTest waits until every
# holder of its pipe is gone. The exit code and both streams are still the program's own.
out=$(mktemp "${TMPDIR:-/tmp}/crv-wine-run.XXXXXX") || exit 2
err=$out.err
trap 'rm -f "$out" "$err"' EXIT
"$wine" "$@" >"$out" 2>"$err"
rc=$?
# A failure without a single byte of output is Wine not getting the program started (now and
# then a fresh process dies while the loader sets up); the test programs print as soon as they
# run. That gets one more start, said on stderr, so a real failure still shows as one.
if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run.sh: '$1' ended with $rc before printing anything; starting it once more" >&2
  "$wine" "$@" >"$out" 2>"$err"
  rc=$?
fi
cat "$out"
cat "$err" >&2
exit "$rc"
