#!/usr/bin/env bash
# Runs a command inside a throw-away Wine test session and returns its exit code:
#
#   wine-session.sh CMD [ARGS...]        e.g.  wine-session.sh ctest --test-dir build/win
#
# The session is: an Xvfb display of its own (800x800x24, a free display number), a fresh
# 32-bit Wine prefix in a temporary folder (64-bit with CRV_WIN_ARCH=x86_64), a persistent
# wineserver (so each test program starts in well under a second), and a private PulseAudio daemon with a null sink (when
# pulseaudio is installed), so waveOut buffers complete at the real rate without a sound card.
# CMD sees WINEPREFIX, WINEARCH, DISPLAY, WINEDEBUG=-all, CRV_WINE_SESSION=1 (and
# PULSE_SERVER when the sound daemon runs). Everything is torn down afterwards, whatever
# happens: the Wine processes, the X server, the sound daemon and the temporary folder.
# Works with no DISPLAY, no standard input, as root (CI).
#
# Environment knobs: CRV_SESSION_KEEP=1 keeps the temporary folder (its path is printed);
# CRV_SESSION_VERBOSE=1 prints the set-up steps and timings on stderr.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine-session.sh CMD [ARGS...]" >&2
  exit 2
fi

. "$(dirname "${BASH_SOURCE[0]}")/wine-common.sh"
for tool in "$CRV_WINE" "$CRV_WINESERVER" Xvfb; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "wine-session.sh: '$tool' is missing (run tools/install-packages.sh)" >&2
    exit 2
  fi
done

# No standard input at all (closed descriptor 0): give everything /dev/null instead.
crv_stdin_or_null || exec </dev/null

say() { [ "${CRV_SESSION_VERBOSE:-0}" = 1 ] && echo "wine-session: $*" >&2; return 0; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/crv-wine-session.XXXXXX") || exit 2
xvfb_pid=
pulse_pid=
child=
cleaned=0

cleanup() {
  [ "$cleaned" = 1 ] && return
  cleaned=1
  if [ -d "$tmp/prefix" ]; then
    WINEPREFIX="$tmp/prefix" "$CRV_WINESERVER" -k >/dev/null 2>&1
    # Wait (bounded) for the server to go, so the prefix can be removed.
    WINEPREFIX="$tmp/prefix" timeout 10 "$CRV_WINESERVER" -w >/dev/null 2>&1
  fi
  if [ -n "$pulse_pid" ]; then kill "$pulse_pid" 2>/dev/null; wait "$pulse_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  if [ "${CRV_SESSION_KEEP:-0}" = 1 ]; then
    echo "wine-session: kept $tmp" >&2
  else
    rm -rf "$tmp"
  fi
}
sig_seen=0
on_signal() {
  local sig=$1
  sig_seen=1
  if [ -n "$child" ]; then
    kill -s "$sig" "$child" 2>/dev/null
  else
    cleanup
    case $sig in INT) exit 130 ;; HUP) exit 129 ;; *) exit 143 ;; esac
  fi
}
trap cleanup EXIT
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM
trap 'on_signal HUP' HUP

# --- X display -----------------------------------------------------------------------------
t0=$(now)
if ! crv_start_xvfb "$tmp/display" "$tmp/xvfb.log" 800x800x24; then
  echo "wine-session.sh: Xvfb did not start" >&2
  exit 2
fi
xvfb_pid=$crv_xvfb_pid
export DISPLAY=$crv_xvfb_display
say "Xvfb on $DISPLAY ($(since "$t0"))"

# --- sound ---------------------------------------------------------------------------------
# A private daemon (own socket, own state) so parallel sessions never share or kill each
# other's sound server, and nothing goes to a real sound card. Best effort and quiet.
if command -v pulseaudio >/dev/null 2>&1; then
  t0=$(now)
  if crv_start_pulse "$tmp/pulse" "$tmp/pulse.log"; then
    pulse_pid=$crv_pulse_pid
    export PULSE_SERVER=$crv_pulse_server
    say "PulseAudio null sink at $PULSE_SERVER ($(since "$t0"))"
  else
    say "PulseAudio did not start; waveOut will have no device"
  fi
fi

# --- Wine prefix and persistent server -------------------------------------------------------
t0=$(now)
export WINEPREFIX="$tmp/prefix"
crv_wine_env
# Started first, so the programs wineboot leaves running (services, explorer) and every
# later test program use the same server instead of starting one each time.
"$CRV_WINESERVER" -p </dev/null >/dev/null 2>&1
if ! crv_create_prefix "$tmp/wineboot.log"; then
  echo "wine-session.sh: creating the Wine prefix failed" >&2
  exit 2
fi
say "Wine prefix $WINEPREFIX ($(since "$t0"))"

export CRV_WINE_SESSION=1

# Wine's desktop process (explorer) quits a few seconds after its last client, and the next
# program that opens a window then waits seconds for a new one. A command interpreter that
# reads from a pipe nobody writes to stays connected for the whole session and keeps it up;
# the server's shutdown in cleanup ends it.
mkfifo "$tmp/keepalive"
"$CRV_WINE" cmd.exe /k <"$tmp/keepalive" >/dev/null 2>&1 &
exec 7>"$tmp/keepalive"

# --- the command -----------------------------------------------------------------------------
# Run in the background (with our standard input) so a signal to this script reaches it and
# the cleanup still runs afterwards.
"$@" <&0 7>&- &
child=$!
while :; do
  sig_seen=0
  wait "$child"
  rc=$?
  # A trapped signal ends `wait` early: wait again for the command's own exit code.
  [ "$sig_seen" = 1 ] || break
done
child=
exit "$rc"
