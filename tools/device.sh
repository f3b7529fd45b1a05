#!/usr/bin/env bash
# The emulated Pocket PC: prepares a device (a Wine prefix and a device folder) and runs the
# player or the converter in it.
#
#   device.sh prepare [--shape S]        make the device ready (idempotent, quick when ready)
#   device.sh run [--shape S] [--program P] [--wait] [ARGS...]
#                                        start a program on the device screen
#   device.sh screenshot [FILE.png]      save the device screen (default ./device-screenshot.png)
#   device.sh stop                       end the programs, the Wine server and our X server
#   device.sh shell CMD [ARGS...]        run CMD with the device's Wine environment
#   device.sh probe ARGS...              look at the running device with crvprobe.exe
#   device.sh key NAME...                press the device's keys (action, left, right, up, down)
#   device.sh reset                      stop and remove the device
#   device.sh status                     say what is there and what runs
#
# The device lives in ${CRV_DEVICE_HOME:-~/.corvane-device}:
#   prefix/   the Wine prefix (32-bit, as the device is); its registry is the device registry
#   device/   the device folder, drive D: of the prefix. The programs run with D:\ current,
#             so "\My Documents", "\Temp", "\Windows" and "\Program Files\Corvane Cinema"
#             are folders here. It also keeps the device's state in hidden files: .crv-shape
#             (the screen shape, so `run` without --shape keeps the last one) and, while it
#             runs, .crv-display (the X display of the device screen, the Xvfb we started for
#             it if we did, and the shape the screen was opened in).
#   logs/     what Wine and the X server printed
#
# Shapes (screen size in pixels, dpi):
#   portrait 240x320 96 (default)   portrait-vga 480x640 192
#   landscape 320x240 96            landscape-vga 640x480 192
#   square 240x240 96               square-vga 480x480 192
#   desktop 1024x768 96             (a desktop screen, for the converter)
#
# run: the program starts in the device's screen (a Wine virtual desktop of the shape's size)
# and `run` returns once its window shows; --wait waits until the program ends instead. A
# second `run` of the player while it runs hands its file to the running one. --program:
# "CRV.exe" (default), "converter", or another program installed on the device. ARGS go to
# the program as they are; a Linux path inside the device folder becomes its device path
# ("\My Documents\x.avi"). A new --shape restarts a running device in that shape.
#
# shell: CMD gets WINEPREFIX, WINEARCH, DISPLAY and CRV_DEVICE_DIR, CRV_DEVICE_SHAPE,
# CRV_DEVICE_WIDTH, CRV_DEVICE_HEIGHT, CRV_DEVICE_DPI; Wine programs it starts run outside
# the device screen (use `run --program` for that).
#
# probe: runs the installed crvprobe.exe (tools/crvprobe), which opens the device screen's
# desktop itself: `probe windows [CLASS]` lists the windows on the screen, `probe wait CLASS`
# waits for one, `probe reg KEY VALUE` reads the device registry; its exit status is the
# probe's.
#
# Environment: CRV_DEVICE_HOME (see above); CRV_BUILD_DIR, the Windows build whose bin/ is
# installed (default build/win); CRV_SKIP_BUILD=1 uses that build as it is instead of calling
# tools/build-windows.sh first; CRV_DEVICE_TIMEOUT, seconds to wait for the program's window
# (default 60); DISPLAY: an X display that answers is used for the device screen, otherwise
# an Xvfb of the device's own is started and kept until `stop`.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prog=device.sh

. "$root/tools/wine-common.sh"
WINE=$CRV_WINE
WINESERVER=$CRV_WINESERVER

say() { echo "$prog: $*"; }
warn() { echo "$prog: $*" >&2; }
die() { echo "$prog: $*" >&2; exit 1; }

# No standard input at all (closed descriptor 0, as under some CI runners): use /dev/null.
crv_stdin_or_null || exec </dev/null

if [ -z "${HOME:-}" ]; then
  HOME=$(getent passwd "$(id -u)" | cut -d: -f6 || true)
  [ -n "$HOME" ] || HOME=/tmp
fi
home=${CRV_DEVICE_HOME:-$HOME/.corvane-device}
mkdir -p "$home"
home=$(cd "$home" && pwd -P)
prefix=$home/prefix
device=$home/device
logs=$home/logs
# A relative build folder is taken from the current directory when it is there, else from
# the top of the source tree.
build_dir=${CRV_BUILD_DIR:-build/win}
case $build_dir in
  /*) ;;
  *) if [ -d "$build_dir" ]; then build_dir=$(cd "$build_dir" && pwd); else build_dir=$root/$build_dir; fi ;;
esac
install_dir="$device/Program Files/Corvane Cinema"
timeout_s=${CRV_DEVICE_TIMEOUT:-60}

export WINEPREFIX=$prefix
crv_wine_env

# --- shapes --------------------------------------------------------------------------------
shape_geometry() { # NAME -> "W H DPI", or nothing for an unknown name
  case $1 in
    portrait) echo "240 320 96" ;;
    portrait-vga) echo "480 640 192" ;;
    landscape) echo "320 240 96" ;;
    landscape-vga) echo "640 480 192" ;;
    square) echo "240 240 96" ;;
    square-vga) echo "480 480 192" ;;
    desktop) echo "1024 768 96" ;;
  esac
}
shapes="portrait, portrait-vga, landscape, landscape-vga, square, square-vga, desktop"

# current_shape: the one remembered in the device folder, else portrait.
current_shape() {
  local s=
  [ -f "$device/.crv-shape" ] && s=$(tr -dc 'a-z-' <"$device/.crv-shape")
  [ -n "$s" ] && [ -n "$(shape_geometry "$s")" ] || s=portrait
  echo "$s"
}

# --- locking -------------------------------------------------------------------------------
# One command at a time changes a device. Descriptor 8 holds the lock; every long-lived
# process started below gets it closed (8>&-) so the lock ends with this script.
lock() {
  exec 8>"$home/.lock"
  if command -v flock >/dev/null 2>&1 && ! flock -w 300 8; then
    die "another device.sh is busy with $home (waited 300 s)"
  fi
}
unlock() {
  command -v flock >/dev/null 2>&1 && flock -u 8
  exec 8>&-
}

# --- tools ---------------------------------------------------------------------------------
need_tools() { # TOOL...: installs the packages when one of them is missing
  local t missing=()
  for t in "$@"; do command -v "$t" >/dev/null 2>&1 || missing+=("$t"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "missing ${missing[*]}: installing the packages (tools/install-packages.sh)"
  bash "$root/tools/install-packages.sh" || die "installing the packages failed"
  for t in "${missing[@]}"; do
    command -v "$t" >/dev/null 2>&1 || die "'$t' is still missing after installing the packages"
  done
}

# --- the X display -------------------------------------------------------------------------
display_answers() { # DISPLAY
  [ -n "$1" ] && DISPLAY=$1 timeout 5 xdpyinfo >/dev/null 2>&1
}

# Reads .crv-display into x_display (":N"), x_pid (our Xvfb's process, or empty when the
# display was not started by us) and x_shape (the shape the device screen was opened in).
read_display_state() {
  x_display='' x_pid='' x_shape=''
  [ -f "$device/.crv-display" ] || return 0
  x_display=$(sed -n 's/^display=//p' "$device/.crv-display" | head -n1)
  x_pid=$(sed -n 's/^xvfb_pid=//p' "$device/.crv-display" | tr -dc 0-9)
  x_shape=$(sed -n 's/^shape=//p' "$device/.crv-display" | tr -dc 'a-z-')
}

# record_screen_shape SHAPE: the device screen is now open in SHAPE.
record_screen_shape() {
  local f=$device/.crv-display
  [ -f "$f" ] || return 0
  { grep -v '^shape=' "$f" || true; echo "shape=$1"; } >"$f.new"
  mv -f "$f.new" "$f"
}

# screen_shape: the shape of the open device screen (the remembered one when unknown).
screen_shape() {
  read_display_state
  if [ -n "$x_shape" ] && [ -n "$(shape_geometry "$x_shape")" ]; then echo "$x_shape"; else current_shape; fi
}

# use_recorded_display: DISPLAY becomes the device's recorded display when that answers;
# fails otherwise.
use_recorded_display() {
  read_display_state
  if [ -n "$x_display" ] && display_answers "$x_display"; then
    export DISPLAY=$x_display
    return 0
  fi
  return 1
}

# alive PID: the process runs (a finished one that its parent has not reaped yet does not).
alive() {
  local state
  state=$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null || true)
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# is_our_xvfb PID: the process is alive and is an Xvfb.
is_our_xvfb() {
  [ -n "$1" ] && alive "$1" && tr '\0' ' ' <"/proc/$1/cmdline" | grep -q '^Xvfb '
}

# ensure_display: sets DISPLAY to the device's screen. Keeps a recorded one that still
# answers; else takes the caller's DISPLAY when it answers; else starts an Xvfb of our own.
ensure_display() {
  mkdir -p "$device"
  read_display_state
  if [ -n "$x_display" ] && display_answers "$x_display"; then
    export DISPLAY=$x_display
    return 0
  fi
  # A recorded Xvfb that no longer answers is of no use: end it.
  if is_our_xvfb "$x_pid"; then kill "$x_pid" 2>/dev/null || true; fi
  rm -f "$device/.crv-display"
  if display_answers "${DISPLAY:-}"; then
    printf 'display=%s\n' "$DISPLAY" >"$device/.crv-display"
    return 0
  fi
  need_tools Xvfb
  mkdir -p "$logs"
  # Big enough for every shape; its own session keeps it running after this script ends.
  crv_start_xvfb "$logs/xvfb.display" "$logs/xvfb.log" 1024x768x24 ||
    die "the X server (Xvfb) did not start"
  export DISPLAY=$crv_xvfb_display
  printf 'display=%s\nxvfb_pid=%s\n' "$DISPLAY" "$crv_xvfb_pid" >"$device/.crv-display"
  say "started Xvfb on $DISPLAY"
}

# --- the sound -----------------------------------------------------------------------------
# A null sink of the device's own (PulseAudio, when installed), kept until `stop`: the
# programs' waveOut plays into it at the real rate. Recorded in .crv-sound.
ensure_sound() {
  local pid='' server=''
  if [ -f "$device/.crv-sound" ]; then
    pid=$(sed -n 's/^pid=//p' "$device/.crv-sound" | tr -dc 0-9)
    server=$(sed -n 's/^server=//p' "$device/.crv-sound")
  fi
  if [ -n "$pid" ] && alive "$pid" && [ -S "${server#unix:}" ]; then
    export PULSE_SERVER=$server
    return 0
  fi
  rm -f "$device/.crv-sound"
  mkdir -p "$logs"
  if crv_start_pulse "$home/pulse" "$logs/pulse.log"; then
    export PULSE_SERVER=$crv_pulse_server
    printf 'pid=%s\nserver=%s\n' "$crv_pulse_pid" "$crv_pulse_server" >"$device/.crv-sound"
  else
    say "no sound server (pulseaudio): the programs play silently"
  fi
}

stop_sound() {
  local pid=''
  [ -f "$device/.crv-sound" ] && pid=$(sed -n 's/^pid=//p' "$device/.crv-sound" | tr -dc 0-9)
  if [ -n "$pid" ] && alive "$pid"; then kill "$pid" 2>/dev/null || true; fi
  rm -f "$device/.crv-sound"
}

# --- the prefix ----------------------------------------------------------------------------
# setup_wine ARGS...: a Wine run that needs no screen (prefix creation, registry import).
# A DISPLAY that does not answer is left out, so Wine does not try to draw on it.
setup_wine() {
  if [ -n "${DISPLAY:-}" ] && ! display_answers "$DISPLAY"; then
    env -u DISPLAY "$WINE" "$@"
  else
    "$WINE" "$@"
  fi
}

ensure_prefix() {
  need_tools "$WINE" "$WINESERVER"
  if [ -f "$prefix/system.reg" ] && ! grep -q "^#arch=$CRV_WINEARCH" "$prefix/system.reg"; then
    say "the Wine prefix is not $CRV_WINEARCH: making it anew"
    "$WINESERVER" -k 8>&- >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  if [ -d "$prefix/drive_c/windows/system32" ] && [ -f "$prefix/system.reg" ]; then
    return 0
  fi
  say "creating the Wine prefix $prefix (about 15 s)"
  mkdir -p "$prefix" "$logs"
  local created=0
  if [ -n "${DISPLAY:-}" ] && ! display_answers "$DISPLAY"; then
    (unset DISPLAY; crv_create_prefix "$logs/wineboot.log") && created=1
  else
    crv_create_prefix "$logs/wineboot.log" && created=1
  fi
  [ "$created" = 1 ] || die "creating the Wine prefix failed"
  # A new sample device opens the player on its picture album ("\My Documents"); the
  # player's own first start, with nothing stored, would open the media panel.
  setup_wine reg add 'HKEY_LOCAL_MACHINE\Software\Halvren\Corvane Cinema\Options' /v View /t REG_DWORD \
    /d 0 /f 8>&- </dev/null >>"$logs/reg.log" 2>&1 || true
  # Let the server write the registry files before anything looks at them.
  timeout 30 "$WINESERVER" -w 8>&- || true
  rm -f "$prefix/.crv-logpixels"
}

# ensure_drive: D: is the device folder.
ensure_drive() {
  local link=$prefix/dosdevices/d:
  mkdir -p "$device" "$prefix/dosdevices"
  if [ "$(readlink "$link" 2>/dev/null || true)" != "$device" ]; then
    ln -sfn "$device" "$link"
    say "drive D: is $device"
  fi
}

ensure_folders() {
  mkdir -p "$device/My Documents" "$device/Temp" "$device/Windows" "$install_dir"
}

# ensure_shape NAME: remembers the shape and writes its dpi into the prefix registry. Wine
# takes the dpi from HKCU\Control Panel\Desktop "LogPixels" first and from the hardware
# profile's font key when that is absent; both are written so they never disagree. The value
# is read when a program starts, so a running device shows the new dpi after a restart.
# The same file sets Wine's Direct3D renderer to GDI: with the OpenGL one, a DirectDraw primary
# surface on a window of the virtual desktop turns that window black (the video view's frames
# and its painted poster alike).
ensure_shape() {
  local shape=$1 dpi
  read -r _ _ dpi <<<"$(shape_geometry "$shape")"
  if [ "$(cat "$device/.crv-shape" 2>/dev/null || true)" != "$shape" ]; then
    echo "$shape" >"$device/.crv-shape"
  fi
  local stamp="$dpi gdi"
  if [ "$(cat "$prefix/.crv-logpixels" 2>/dev/null || true)" = "$stamp" ]; then
    return 0
  fi
  local hex regfile=$prefix/drive_c/windows/temp/crv-device.reg
  hex=$(printf '%08x' "$dpi")
  mkdir -p "${regfile%/*}" "$logs"
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=dword:$hex" '' \
    '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]' \
    "\"LogPixels\"=dword:$hex" '' \
    '[HKEY_CURRENT_USER\Software\Wine\DllOverrides]' '"winemenubuilder.exe"=""' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Direct3D]' '"renderer"="gdi"' '' >"$regfile"
  if ! setup_wine reg import 'C:\windows\temp\crv-device.reg' 8>&- </dev/null \
      >"$logs/reg.log" 2>&1; then
    cat "$logs/reg.log" >&2
    die "writing the dpi into the registry failed"
  fi
  rm -f "$regfile"
  echo "$stamp" >"$prefix/.crv-logpixels"
  say "screen $shape: $dpi dpi"
}

# install_program: the build's programs and libraries into "\Program Files\Corvane Cinema",
# its device-windows files into "\Windows". Files already the same are left alone.
install_program() {
  local bin=$build_dir/bin f n=0
  [ -d "$bin" ] || die "no Windows build at $build_dir (build it with tools/build-windows.sh, or set CRV_BUILD_DIR)"
  [ -f "$bin/CRV.exe" ] || die "$bin has no CRV.exe: build the Windows build first"
  shopt -s nullglob nocaseglob
  for f in "$bin"/*.exe "$bin"/*.dll "$bin"/*.dat; do
    # The test programs of the build are not part of the device.
    case ${f##*/} in *_test.exe | *_tests.exe) continue ;; esac
    if ! cmp -s "$f" "$install_dir/${f##*/}"; then
      cp -f "$f" "$install_dir/" && n=$((n + 1))
    fi
  done
  if [ -d "$bin/device-windows" ]; then
    for f in "$bin"/device-windows/*; do
      [ -f "$f" ] || continue
      if ! cmp -s "$f" "$device/Windows/${f##*/}"; then
        cp -f "$f" "$device/Windows/" && n=$((n + 1))
      fi
    done
  fi
  shopt -u nullglob nocaseglob
  [ "$n" -gt 0 ] && say "installed $n file(s) from $bin"
  return 0
}

# register_media_control: the device's media control ("mediactl.dll" beside the program)
# answers the player control's class id, in place of Wine's own control. Registered again
# whenever the installed library changed (the stamp holds its checksum).
register_media_control() {
  local dll="$install_dir/mediactl.dll" sum stamp=$prefix/.crv-mediactl
  [ -f "$dll" ] || return 0
  sum=$(cksum <"$dll" | cut -d' ' -f1)
  [ "$(cat "$stamp" 2>/dev/null || true)" = "$sum" ] && return 0
  mkdir -p "$logs"
  if ! (cd "$device" && setup_wine regsvr32 /s 'D:\Program Files\Corvane Cinema\mediactl.dll' 8>&- </dev/null \
      >"$logs/regsvr32.log" 2>&1); then
    cat "$logs/regsvr32.log" >&2
    die "registering the media control failed"
  fi
  timeout 30 "$WINESERVER" -w 8>&- || true
  echo "$sum" >"$stamp"
  say "media control registered"
}

make_media() {
  bash "$root/tools/device-media.sh" "$device/My Documents" 8>&- |
    sed "s/^device-media.sh: /$prog: /"
}

# prepare [SHAPE]: everything a device needs, step by step, each only when needed.
prepare() {
  local shape=${1:-$(current_shape)}
  ensure_prefix
  ensure_drive
  ensure_folders
  ensure_shape "$shape"
  install_program
  register_media_control
  make_media
}

# --- finding what runs ---------------------------------------------------------------------
# prefix_pids: the Wine processes of this device's prefix (Wine's own programs, found by
# their environment; shells and X servers that merely carry WINEPREFIX are not among them).
prefix_pids() {
  local f d exe
  for f in $(grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null || true); do
    d=${f%/environ}
    exe=$(readlink "$d/exe" 2>/dev/null) || continue
    case ${exe##*/} in wine*) echo "${d#/proc/}" ;; esac
  done
  return 0
}

# desktop_window: the X window of this device's virtual desktop ("CRV - Wine desktop", made
# by an explorer.exe of our prefix), or nothing.
desktop_window() {
  [ -n "${DISPLAY:-}" ] || return 0
  local w pid
  for w in $(xdotool search --name '^CRV - Wine desktop$' 2>/dev/null || true); do
    pid=$(xdotool getwindowpid "$w" 2>/dev/null || true)
    if [ -n "$pid" ] && tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null |
        grep -qxF "WINEPREFIX=$prefix"; then
      echo "$w"
      return 0
    fi
  done
  return 0
}

# program_windows DESKTOP EXE: the shown windows of program EXE inside the desktop, one a
# line (the small "Default IME" windows every program has do not count).
program_windows() {
  local exe
  exe=$(printf '%s' "$2" | tr '[:upper:]' '[:lower:]')
  xwininfo -tree -id "$1" 2>/dev/null |
    grep -F "(\"$exe\" " | grep -v '"Default IME"' | awk '{print $1}' |
    while read -r w; do
      if xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable'; then
        echo "$w"
      fi
    done
  return 0
}

# geometry WINDOW -> "X Y W H viewable(0/1)"
geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X:/ {x=$NF} /Absolute upper-left Y:/ {y=$NF}
    /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} /Map State:/ {v=($3=="IsViewable")}
    END {print x+0, y+0, w+0, h+0, v+0}'
}

# covered WINDOW: a shown top-level window above WINDOW overlaps it.
covered() {
  local me x y w h ox oy ow oh ov id
  me=$(printf '0x%x' "$1")
  read -r x y w h _ <<<"$(geometry "$me")"
  # xwininfo lists the root's children from the top of the stack down.
  for id in $(xwininfo -root -children 2>/dev/null | awk '$1 ~ /^0x/ {print $1}'); do
    [ "$((id))" = "$(($1))" ] && return 1
    read -r ox oy ow oh ov <<<"$(geometry "$id")"
    [ "$ov" = 1 ] || continue
    if [ $((ox < x + w && x < ox + ow && oy < y + h && y < oy + oh)) = 1 ]; then return 0; fi
  done
  return 1
}

# --- commands ------------------------------------------------------------------------------
usage() {
  sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'
}

parse_shape() { # VALUE -> checks it
  [ -n "$(shape_geometry "$1")" ] || die "unknown shape '$1' (shapes: $shapes)"
}

cmd_prepare() {
  local shape=
  while [ $# -gt 0 ]; do
    case $1 in
      --shape) [ $# -ge 2 ] || die "--shape needs a value"; shape=$2; shift 2 ;;
      --shape=*) shape=${1#--shape=}; shift ;;
      -h | --help) usage; exit 0 ;;
      *) die "prepare: unknown argument '$1'" ;;
    esac
  done
  [ -z "$shape" ] || parse_shape "$shape"
  lock
  prepare "$shape"
  say "device ready: $device ($(current_shape))"
  read_display_state
  if [ -n "$x_shape" ] && [ "$x_shape" != "$(current_shape)" ]; then
    say "the running device keeps its $x_shape screen until 'tools/device.sh run' restarts it"
  fi
}

# to_device_path ARG: a Linux path inside the device folder becomes "\..."; anything else
# stays as it is.
to_device_path() {
  local a=$1 full
  if [ -e "$a" ]; then
    full=$(realpath -m -- "$a")
    case $full in
      "$device") printf '%s\n' "\\"; return ;;
      "$device"/*) full=${full#"$device"}; echo "${full//\//\\}"; return ;;
    esac
  fi
  echo "$a"
}

# run's steps. Each reads and sets the variables of cmd_run (program, shape, desk, ...).

# run_parse_args ARGS...: sets shape, program, wait and args.
run_parse_args() {
  while [ $# -gt 0 ]; do
    case $1 in
      --shape) [ $# -ge 2 ] || die "--shape needs a value"; shape=$2; shift 2 ;;
      --shape=*) shape=${1#--shape=}; shift ;;
      --program) [ $# -ge 2 ] || die "--program needs a value"; program=$2; shift 2 ;;
      --program=*) program=${1#--program=}; shift ;;
      --wait) wait=1; shift ;;
      -h | --help) usage; exit 0 ;;
      --) shift; args+=("$@"); break ;;
      *) args+=("$1"); shift ;;
    esac
  done
  [ -z "$shape" ] || parse_shape "$shape"
  case $(printf '%s' "$program" | tr '[:upper:]' '[:lower:]') in
    converter | converter.exe) program=Converter.exe ;;
    crv | crv.exe) program=CRV.exe ;;
    *.exe) ;;
    *) program=$program.exe ;;
  esac
}

run_update_build() {
  [ "${CRV_SKIP_BUILD:-0}" != 1 ] && [ -f "$root/tools/build-windows.sh" ] || return 0
  say "bringing the Windows build up to date (tools/build-windows.sh)"
  CRV_BUILD_DIR=$build_dir bash "$root/tools/build-windows.sh" </dev/null ||
    die "tools/build-windows.sh failed"
}

# run_open_screen: the device screen in `shape`; a device on screen in another shape is
# restarted in the new one. Sets desk to the running device's screen window, if any.
run_open_screen() {
  ensure_display
  local running_shape
  desk=$(desktop_window)
  running_shape=$(screen_shape)
  if [ -n "$desk" ] && [ "$shape" != "$running_shape" ]; then
    say "the device runs as $running_shape: restarting it as $shape"
    stop_programs
    ensure_display
    desk=
  fi
}

# run_find_program: the installed program's file name as it is on the device.
run_find_program() {
  [ -f "$install_dir/$program" ] && return 0
  local found
  found=$(find "$install_dir" -maxdepth 1 -iname "$program" -print -quit)
  [ -n "$found" ] || die "no $program on the device (in $install_dir)"
  program=${found##*/}
}

# run_wait_for_window LAUNCHER BEFORE: waits until the program shows a window that is not
# among BEFORE (its windows when we started it).
run_wait_for_window() {
  local launcher=$1 before=$2 deadline=$((SECONDS + timeout_s)) win='' w
  while [ $SECONDS -lt $deadline ]; do
    [ -n "$desk" ] || desk=$(desktop_window)
    if [ -n "$desk" ]; then
      for w in $(program_windows "$desk" "$program"); do
        grep -qxF "$w" <<<"$before" || { win=$w; break; }
      done
      [ -n "$win" ] && break
    fi
    if ! kill -0 "$launcher" 2>/dev/null; then
      # A second start of the player hands its file to the running one and ends at once.
      if [ -n "$before" ]; then
        say "$program was already running on the device; handed it: ${dev_args[*]:-(nothing)}"
        return 0
      fi
      tail -n 20 "$logs/wine.log" >&2 || true
      die "$program ended before its window appeared (log: $logs/wine.log)"
    fi
    sleep 0.3
  done
  if [ -z "$win" ]; then
    tail -n 20 "$logs/wine.log" >&2 || true
    die "no window of $program after ${timeout_s} s (log: $logs/wine.log); 'tools/device.sh stop' ends it"
  fi
  say "running on $DISPLAY (screen window $(printf '0x%x' "$desk")); 'tools/device.sh screenshot' to look, 'tools/device.sh stop' to end"
}

cmd_run() {
  local shape='' program=CRV.exe wait=0 args=() desk='' dev_args=() a w h dpi
  run_parse_args "$@"
  need_tools xdotool xwininfo xdpyinfo import convert ffmpeg
  run_update_build
  lock
  [ -n "$shape" ] || shape=$(current_shape)
  read -r w h dpi <<<"$(shape_geometry "$shape")"
  run_open_screen
  prepare "$shape"
  ensure_sound
  run_find_program
  for a in ${args[@]+"${args[@]}"}; do dev_args+=("$(to_device_path "$a")"); done

  mkdir -p "$logs"
  # D: is the device folder: starting from it makes D:\ the programs' current directory.
  cd "$device"
  local cmd=("$WINE" explorer "/desktop=CRV,${w}x${h}"
             "D:\\Program Files\\Corvane Cinema\\$program" ${dev_args[@]+"${dev_args[@]}"})
  say "starting $program on a $shape screen (${w}x${h}, $dpi dpi) on $DISPLAY"
  [ -n "$desk" ] || record_screen_shape "$shape"
  if [ "$wait" = 1 ]; then
    unlock
    local rc=0
    "${cmd[@]}" 8>&- </dev/null >>"$logs/wine.log" 2>&1 || rc=$?
    say "$program ended"
    return "$rc"
  fi
  # The windows the program already has: the new start must show one of its own.
  local before=
  [ -n "$desk" ] && before=$(program_windows "$desk" "$program")
  setsid "${cmd[@]}" 8>&- </dev/null >>"$logs/wine.log" 2>&1 &
  run_wait_for_window $! "$before"
}

cmd_screenshot() {
  local file=${1:-device-screenshot.png}
  [ $# -le 1 ] || die "usage: device.sh screenshot [FILE.png]"
  need_tools import convert xdotool xwininfo
  use_recorded_display || die "the device is not running (start it with 'tools/device.sh run')"
  local desk
  desk=$(desktop_window)
  [ -n "$desk" ] || die "the device screen is not there (start it with 'tools/device.sh run')"
  local w h gw gh
  read -r w h _ <<<"$(shape_geometry "$(screen_shape)")"
  # A program that turned the screen has swapped the desktop's sides: follow it.
  read -r gw gh < <(xwininfo -id "$desk" | awk '/^ *Width:/{w=$2} /^ *Height:/{h=$2} END{print w, h}')
  if [ "$gw" = "$h" ] && [ "$gh" = "$w" ]; then w=$gw h=$gh; fi
  # Another window over the screen (another device on the same display) would be in the
  # picture: bring ours to the top first and give it a moment to repaint.
  if covered "$desk"; then
    xdotool windowraise "$desk" 2>/dev/null || true
    sleep 0.5
  fi
  case $file in /*) ;; *) file=$PWD/$file ;; esac
  mkdir -p "$(dirname "$file")"
  local tmp=$file.tmp.$$
  # What the X server shows in the screen's area (import reads the screen; xwd on the desktop
  # window alone would miss popups such as menus over the picture view).
  if ! import -silent -window "$desk" -crop "${w}x${h}+0+0" +repage "png:$tmp" 2>/dev/null; then
    rm -f "$tmp"
    die "taking the screenshot failed"
  fi
  mv -f "$tmp" "$file"
  echo "$file"
}

# stop_programs: closes the programs (politely first, so the player saves its settings),
# then ends the prefix's Wine server and whatever process of the prefix is left.
stop_programs() {
  local pids
  pids=$(prefix_pids)
  [ -n "$pids" ] || return 0
  if [ -n "$(desktop_window)" ]; then
    # WM_CLOSE to the programs' windows, sent from inside the device's desktop (a program
    # only sees the windows of its own desktop); the desktop goes with its last window.
    local w h
    read -r w h _ <<<"$(shape_geometry "$(screen_shape)")"
    (cd "$device" && timeout 10 "$WINE" explorer "/desktop=CRV,${w}x${h}" \
      taskkill /im CRV.exe /im Converter.exe 8>&- </dev/null >/dev/null 2>&1) || true
    for _ in $(seq 50); do
      [ -z "$(desktop_window)" ] && break
      sleep 0.2
    done
  fi
  "$WINESERVER" -k 8>&- >/dev/null 2>&1 || true
  timeout 10 "$WINESERVER" -w 8>&- >/dev/null 2>&1 || true
  local pid
  for _ in $(seq 20); do
    pids=$(prefix_pids)
    [ -z "$pids" ] && return 0
    sleep 0.2
  done
  for pid in $pids; do kill -9 "$pid" 2>/dev/null || true; done
}

stop_display() {
  read_display_state
  if is_our_xvfb "$x_pid"; then
    kill "$x_pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$x_pid" || break; sleep 0.1; done
    if alive "$x_pid"; then kill -9 "$x_pid" 2>/dev/null || true; fi
    say "stopped Xvfb on $x_display"
  fi
  rm -f "$device/.crv-display"
}

cmd_stop() {
  [ $# -eq 0 ] || die "usage: device.sh stop"
  lock
  use_recorded_display || unset DISPLAY
  if [ -d "$prefix" ]; then stop_programs; fi
  stop_display
  stop_sound
  say "device stopped"
}

cmd_shell() {
  [ $# -ge 1 ] || die "usage: device.sh shell CMD [ARGS...]"
  lock
  ensure_prefix
  ensure_drive
  ensure_folders
  ensure_shape "$(current_shape)"
  ensure_display
  unlock
  local w h dpi
  read -r w h dpi <<<"$(shape_geometry "$(current_shape)")"
  export CRV_DEVICE_DIR=$device CRV_DEVICE_SHAPE
  CRV_DEVICE_SHAPE=$(current_shape)
  export CRV_DEVICE_WIDTH=$w CRV_DEVICE_HEIGHT=$h CRV_DEVICE_DPI=$dpi
  exec "$@"
}

# probe ARGS...: crvprobe.exe in the device's Wine. It needs no place on the screen, so it
# is started directly (not through the desktop like `run`) and its output and exit status
# are its own.
cmd_probe() {
  [ $# -ge 1 ] || die "usage: device.sh probe windows|wait|wait-gone|send|reg ARGS..."
  [ -f "$prefix/system.reg" ] || die "no device at $home (make it with 'tools/device.sh prepare')"
  [ -f "$install_dir/crvprobe.exe" ] ||
    die "no crvprobe.exe on the device (the Windows build makes it, 'tools/device.sh prepare' installs it)"
  use_recorded_display || unset DISPLAY
  cd "$device"
  exec "$WINE" "$install_dir/crvprobe.exe" "$@" </dev/null
}

# key NAME...: presses the device's hardware keys on its screen, one after another: "action"
# (the Action button, virtual key 13), "left", "right", "up", "down", or any X key name.
cmd_key() {
  [ $# -ge 1 ] || die "usage: device.sh key action|left|right|up|down|XKEY..."
  need_tools xdotool
  use_recorded_display || die "the device is not running (start it with 'tools/device.sh run')"
  local desk k
  desk=$(desktop_window)
  [ -n "$desk" ] || die "the device screen is not there (start it with 'tools/device.sh run')"
  # Real key presses (XTEST) into the screen with the focus: Wine ignores keys sent to a window.
  xdotool windowfocus "$desk" >/dev/null 2>&1 || true
  for k in "$@"; do
    case $k in
      action) k=Return ;;
      left | right | up | down) k=${k^} ;;
    esac
    xdotool key --delay 80 "$k"
  done
}

cmd_reset() {
  [ $# -eq 0 ] || die "usage: device.sh reset"
  lock
  use_recorded_display || unset DISPLAY
  if [ -d "$prefix" ]; then stop_programs; fi
  [ -d "$device" ] && stop_display && stop_sound
  # Only what this script made: the home folder itself may hold other things.
  rm -rf "$prefix" "$device" "$logs" "$home/pulse"
  rm -f "$home/.lock"
  rmdir "$home" 2>/dev/null || true
  say "device removed ($home)"
}

cmd_status() {
  echo "device home:  $home"
  echo "shape:        $(current_shape) ($(shape_geometry "$(current_shape)" | awk '{print $1 "x" $2 ", " $3 " dpi"}'))"
  echo "prefix:       $([ -f "$prefix/system.reg" ] && echo ready || echo missing)"
  echo "program:      $([ -f "$install_dir/CRV.exe" ] && echo installed || echo missing)"
  read_display_state
  if [ -n "$x_display" ] && display_answers "$x_display"; then
    export DISPLAY=$x_display
    local desk
    desk=$(desktop_window)
    echo "display:      $x_display${x_pid:+ (Xvfb $x_pid)}"
    echo "screen:       $([ -n "$desk" ] && printf 'window 0x%x' "$desk" || echo "not shown")"
  else
    echo "display:      none"
  fi
  echo "wine:         $(prefix_pids | wc -l) process(es)"
}

[ $# -ge 1 ] || { usage >&2; exit 2; }
sub=$1
shift
case $sub in
  prepare) cmd_prepare "$@" ;;
  run) cmd_run "$@" ;;
  screenshot) cmd_screenshot "$@" ;;
  stop) cmd_stop "$@" ;;
  shell) cmd_shell "$@" ;;
  probe) cmd_probe "$@" ;;
  key) cmd_key "$@" ;;
  reset) cmd_reset "$@" ;;
  status) cmd_status "$@" ;;
  -h | --help | help) usage ;;
  *) warn "unknown command '$sub'"; usage >&2; exit 2 ;;
esac
