# Sourced by the Wine scripts (wine-session.sh, wine-run.sh, device.sh): which Wine runs our
# programs, its environment, an X server of our own and a new prefix. Defines functions and
# variables only; sourcing it starts nothing.
#
# The device is a 32-bit machine, so the Windows build is i686 and runs in 32-bit prefixes
# (WINEARCH=win32) through Wine's 32-bit loader. CRV_WIN_ARCH=x86_64 selects the 64-bit
# build's Wine instead (a win64 prefix and the wine64 loader); without it, a WINEARCH set by
# the caller (a test session's) decides.

if [ -z "${CRV_WIN_ARCH:-}" ] && [ "${WINEARCH:-}" = win64 ]; then CRV_WIN_ARCH=x86_64; fi
case ${CRV_WIN_ARCH:-i686} in
  x86_64)
    CRV_WINE=${CRV_WINE:-/usr/lib/wine/wine64}
    CRV_WINEARCH=win64
    ;;
  *)
    CRV_WINE=${CRV_WINE:-/usr/lib/wine/wine}
    CRV_WINEARCH=win32
    ;;
esac
CRV_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$CRV_WINESERVER" ] || CRV_WINESERVER=/usr/lib/wine/wineserver32
[ -x "$CRV_WINESERVER" ] || CRV_WINESERVER=$(command -v wineserver || echo "$CRV_WINESERVER")

# crv_wine_env: the environment every Wine program of ours runs with. Wine never writes
# desktop menu entries for our programs, and is quiet unless WINEDEBUG says otherwise.
crv_wine_env() {
  export WINEARCH=$CRV_WINEARCH
  export WINEDEBUG=${WINEDEBUG:--all}
  case ";${WINEDLLOVERRIDES:-};" in
    *winemenubuilder*) ;;
    *) export WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
  esac
}

# crv_stdin_or_null: with no standard input at all (a closed descriptor 0, as under some CI
# runners) the caller gets /dev/null instead, so no descriptor opened later lands on 0.
# Call it as `crv_stdin_or_null || exec </dev/null` (an exec inside a function would not
# reach the caller's shell).
crv_stdin_or_null() {
  { true <&0; } 2>/dev/null
}

# crv_start_xvfb NUMFILE LOGFILE [SIZE]: starts an Xvfb on a free display (Xvfb picks the
# number itself and writes it to NUMFILE once it takes clients) in its own session, so it
# outlives the calling script when that wants it to. Sets crv_xvfb_pid and crv_xvfb_display
# (":N"); returns 1 with the log on stderr when it did not start.
crv_start_xvfb() {
  local numfile=$1 log=$2 size=${3:-1024x768x24} num=
  : >"$numfile"
  setsid Xvfb -displayfd 9 -screen 0 "$size" -nolisten tcp -noreset -extension Composite \
    9>"$numfile" 8>&- 7>&- </dev/null >"$log" 2>&1 &
  crv_xvfb_pid=$!
  for _ in $(seq 100); do
    num=$(head -n1 "$numfile" 2>/dev/null | tr -dc 0-9)
    [ -n "$num" ] && break
    kill -0 "$crv_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$num" ]; then
    kill "$crv_xvfb_pid" 2>/dev/null
    crv_xvfb_pid=
    cat "$log" >&2
    return 1
  fi
  crv_xvfb_display=":$num"
}

# crv_start_pulse DIR LOGFILE: starts a private PulseAudio daemon with a null sink (its own
# socket and state in DIR, nothing to a sound card) in its own session, so waveOut buffers
# complete at the real rate without a sound card. Sets crv_pulse_pid and crv_pulse_server (for
# PULSE_SERVER); returns 1 when pulseaudio is missing or did not start.
crv_start_pulse() {
  local dir=$1 log=$2
  command -v pulseaudio >/dev/null 2>&1 || return 1
  mkdir -p "$dir/state"
  rm -f "$dir/native"
  env -u DISPLAY PULSE_RUNTIME_PATH="$dir" PULSE_STATE_PATH="$dir/state" \
    setsid pulseaudio --daemonize=no -n --use-pid-file=no --exit-idle-time=-1 --disallow-exit \
      -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
      -L "module-null-sink sink_name=crv_null" \
      9>&- 8>&- 7>&- </dev/null >"$log" 2>&1 &
  crv_pulse_pid=$!
  for _ in $(seq 50); do
    [ -S "$dir/native" ] && break
    kill -0 "$crv_pulse_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -S "$dir/native" ]; then
    kill "$crv_pulse_pid" 2>/dev/null
    crv_pulse_pid=
    return 1
  fi
  crv_pulse_server="unix:$dir/native"
}

# crv_create_prefix LOGFILE: creates the prefix WINEPREFIX names (of CRV_WINEARCH), without
# the prompts to install Mono and Gecko. Returns 1 with the log on stderr when it failed.
# A server already running for the prefix is used (and keeps the programs wineboot leaves).
crv_create_prefix() {
  local log=$1
  mkdir -p "$WINEPREFIX"
  if ! WINEARCH=$CRV_WINEARCH WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
      "$CRV_WINE" wineboot -i 8>&- </dev/null >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
  # (system.reg appears only when the server saves the registry: look at the files.)
  if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    cat "$log" >&2
    return 1
  fi
}
