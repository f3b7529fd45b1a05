#!/usr/bin/env bash
# Checks tools/device.sh on a throw-away device: prepare (and that a second prepare is quick
# and changes nothing), the installed program and the sample media, run with a screenshot of
# the right size that shows something, a change of shape while running, a program's view of
# the device (current directory, "\Temp", screen size, dpi) when a compiler is at hand, and
# that stop and reset leave nothing behind.
#
#   tools/tests/device_test.sh           uses the Windows build in ${CRV_BUILD_DIR:-build/win}
#
# Never builds: the build must be there (CRV_SKIP_BUILD=1 is set for device.sh). Takes about
# half a minute, most of it for the new Wine prefix.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
device_sh=$root/tools/device.sh
build_dir=${CRV_BUILD_DIR:-build/win}
case $build_dir in
  /*) ;;
  *) if [ -d "$build_dir" ]; then build_dir=$(cd "$build_dir" && pwd); else build_dir=$root/$build_dir; fi ;;
esac
. "$root/tools/wine-common.sh"
WINESERVER=$CRV_WINESERVER

step() { echo "device_test: $*"; }
fail() {
  echo "device_test: FAIL: $*" >&2
  if [ -n "${home:-}" ] && [ -d "$home/logs" ]; then
    for f in "$home"/logs/*.log; do
      [ -s "$f" ] || continue
      echo "--- ${f##*/} (last lines)" >&2
      tail -n 15 "$f" >&2
    done
  fi
  exit 1
}

[ -f "$build_dir/bin/CRV.exe" ] || fail "no Windows build at $build_dir (bin/CRV.exe); set CRV_BUILD_DIR"
for t in identify convert xdotool xwininfo; do
  command -v "$t" >/dev/null 2>&1 || fail "'$t' is missing (tools/install-packages.sh)"
done

home=$(mktemp -d "${TMPDIR:-/tmp}/crv-device-test.XXXXXX")
export CRV_DEVICE_HOME=$home/dev CRV_BUILD_DIR=$build_dir CRV_SKIP_BUILD=1
# The device's own X server, so the test shows nothing on a desktop and needs none.
unset DISPLAY
dev() { "$device_sh" "$@"; }
cleanup() {
  "$device_sh" stop >/dev/null 2>&1 || true
  rm -rf "$home"
}
trap cleanup EXIT

prefix=$CRV_DEVICE_HOME/prefix
device=$CRV_DEVICE_HOME/device
docs=$device/My\ Documents

# wine_pids: the live Wine processes of the test device.
wine_pids() {
  local f d exe state
  for f in $(grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null || true); do
    d=${f%/environ}
    exe=$(readlink "$d/exe" 2>/dev/null) || continue
    case ${exe##*/} in wine*) ;; *) continue ;; esac
    state=$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "$d/status" 2>/dev/null || true)
    [ -n "$state" ] && [ "$state" != Z ] && echo "${d#/proc/}"
  done
  return 0
}
alive() {
  local state
  state=$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null || true)
  [ -n "$state" ] && [ "$state" != Z ]
}
# listing: every file of the device and the prefix with its size and time (not the logs).
listing() {
  find "$device" "$prefix" -printf '%p %s %T@ %l\n' | LC_ALL=C sort
}
# check_screenshot FILE W H: a PNG of W x H that is not one flat colour.
check_screenshot() {
  [ -s "$1" ] || fail "no screenshot at $1"
  local size colours
  size=$(identify -format '%wx%h' "$1") || fail "$1 is not a picture"
  [ "$size" = "$2x$3" ] || fail "screenshot $1 is $size, the screen is $2x$3"
  colours=$(identify -format '%k' "$1")
  [ "$colours" -gt 2 ] || fail "screenshot $1 has $colours colour(s): the screen shows nothing"
}
stopped_cleanly() {
  local left
  left=$(wine_pids)
  [ -z "$left" ] || fail "Wine processes of the device are left after stop: $left"
  [ ! -e "$device/.crv-display" ] || fail "stop left $device/.crv-display"
  if [ -n "${xvfb_pid:-}" ] && alive "$xvfb_pid"; then fail "stop left the Xvfb ($xvfb_pid) running"; fi
  return 0
}

# --- prepare -------------------------------------------------------------------------------
step "prepare a new device in $CRV_DEVICE_HOME"
dev prepare >"$home/prepare.log" 2>&1 || { cat "$home/prepare.log" >&2; fail "prepare failed"; }
[ -f "$device/Program Files/Corvane Cinema/CRV.exe" ] || fail "\\Program Files\\Corvane Cinema\\CRV.exe is missing"
cmp -s "$build_dir/bin/CRV.exe" "$device/Program Files/Corvane Cinema/CRV.exe" ||
  fail "the installed CRV.exe differs from the build's"
for f in "$build_dir"/bin/device-windows/*; do
  [ -f "$f" ] || continue
  cmp -s "$f" "$device/Windows/${f##*/}" || fail "\\Windows\\${f##*/} is not installed"
done
for d in "My Documents" Temp Windows; do [ -d "$device/$d" ] || fail "\\$d is missing"; done
[ "$(readlink "$prefix/dosdevices/d:")" = "$(cd "$device" && pwd -P)" ] ||
  fail "drive D: does not lead to the device folder"
[ "$(cat "$device/.crv-shape")" = portrait ] || fail "a new device is not portrait"
for pattern in '*.avi' '*.mov' '*.mpg' '*.mp3' '*.wav' '*.jpg' '*.bmp' '*.gif' '*.png' '*.tif' '*.hvpl' '*.mab'; do
  [ -n "$(find "$docs" -iname "$pattern" -size +0 -print -quit)" ] ||
    fail "no sample $pattern in \\My Documents"
done
# The playlists name files that are there.
while read -r location; do
  location=${location#\\my documents\\}
  [ -n "$(find "$docs" -ipath "$docs/${location//\\//}" -print -quit)" ] ||
    fail "a playlist names a missing file: $location"
done < <(grep -ho '<location>[^<]*' "$docs"/*/*.hvpl | sed 's/<location>//')
# Every video plays as what it says it is (ffprobe reads each one).
if command -v ffprobe >/dev/null 2>&1; then
  while IFS= read -r -d '' f; do
    streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$f" </dev/null) ||
      fail "ffprobe cannot read the sample video $f"
    grep -qx video <<<"$streams" || fail "sample video $f has no video stream"
  done < <(find "$docs" \( -iname '*.avi' -o -iname '*.mov' -o -iname '*.mpg' \) -print0)
fi

step "a second prepare is quick and changes nothing"
timeout 30 env WINEPREFIX="$prefix" "$WINESERVER" -w 2>/dev/null || true
before=$(listing)
start=$SECONDS
dev prepare >"$home/prepare2.log" 2>&1 || { cat "$home/prepare2.log" >&2; fail "the second prepare failed"; }
[ $((SECONDS - start)) -le 5 ] || fail "the second prepare took $((SECONDS - start)) s"
after=$(listing)
[ "$before" = "$after" ] || fail "the second prepare changed the device: $(diff <(echo "$before") <(echo "$after") | head -n 10)"

# --- run, screenshot -----------------------------------------------------------------------
step "run the player and take a screenshot"
dev run >"$home/run.log" 2>&1 || { cat "$home/run.log" >&2; fail "run failed"; }
xvfb_pid=$(sed -n 's/^xvfb_pid=//p' "$device/.crv-display")
if [ -z "$xvfb_pid" ] || ! alive "$xvfb_pid"; then fail "run did not record a running Xvfb"; fi
shot=$(cd "$home" && dev screenshot) || fail "screenshot failed"
[ "$shot" = "$home/device-screenshot.png" ] || fail "screenshot wrote '$shot', not ./device-screenshot.png"
check_screenshot "$shot" 240 320
# The player runs with D:\ (the device folder) as its current directory.
crv=''
for p in $(wine_pids); do
  tr '\0' '\n' <"/proc/$p/cmdline" | head -n1 | grep -qi 'Corvane Cinema\\CRV.exe$' && crv=$p
done
[ -n "$crv" ] || fail "no CRV.exe process on the device"
[ "$(readlink "/proc/$crv/cwd")" = "$(cd "$device" && pwd -P)" ] ||
  fail "CRV.exe runs in $(readlink "/proc/$crv/cwd"), not in the device folder"

step "turn the running device to landscape"
dev run --shape landscape >"$home/run2.log" 2>&1 || { cat "$home/run2.log" >&2; fail "run --shape landscape failed"; }
[ "$(cat "$device/.crv-shape")" = landscape ] || fail "the shape was not remembered"
dev screenshot "$home/shots/landscape.png" >/dev/null || fail "screenshot FILE failed"
check_screenshot "$home/shots/landscape.png" 320 240

step "stop"
dev stop >"$home/stop.log" 2>&1 || { cat "$home/stop.log" >&2; fail "stop failed"; }
stopped_cleanly
if dev screenshot "$home/none.png" >/dev/null 2>&1; then fail "screenshot worked on a stopped device"; fi

# --- what a program sees on the device ---------------------------------------------------
cc=$(command -v i686-w64-mingw32-gcc-posix || command -v i686-w64-mingw32-gcc || true)
if [ -n "$cc" ]; then
  step "a 32-bit program's view of a portrait-vga device"
  cat >"$home/probe.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
int main(void) {
  char cwd[MAX_PATH], temp[MAX_PATH];
  HDC dc = GetDC(NULL);
  FILE* f;
  GetCurrentDirectoryA(MAX_PATH, cwd);
  GetFullPathNameA("\\Temp", MAX_PATH, temp, NULL);
  f = fopen("\\Temp\\probe.txt", "w");
  if (!f) return 1;
  fprintf(f, "cwd=%s\ntemp=%s\nscreen=%dx%d\ndpi=%d\n", cwd, temp, GetSystemMetrics(SM_CXSCREEN),
          GetSystemMetrics(SM_CYSCREEN), GetDeviceCaps(dc, LOGPIXELSY));
  return fclose(f) != 0;
}
EOF
  "$cc" -O1 -s -o "$device/Program Files/Corvane Cinema/probe.exe" "$home/probe.c" -lgdi32 ||
    fail "building the probe program failed"
  dev run --shape portrait-vga --program probe.exe --wait >"$home/run3.log" 2>&1 ||
    { cat "$home/run3.log" >&2; fail "run --program probe.exe --wait failed"; }
  [ -f "$device/Temp/probe.txt" ] || fail "the probe's \\Temp\\probe.txt did not land in the device folder"
  expected=$(printf 'cwd=D:\\\ntemp=D:\\Temp\nscreen=480x640\ndpi=192')
  got=$(tr -d '\r' <"$device/Temp/probe.txt")
  [ "$got" = "$expected" ] || fail "the probe saw: $got"
  xvfb_pid=$(sed -n 's/^xvfb_pid=//p' "$device/.crv-display" 2>/dev/null || true)
  dev stop >/dev/null 2>&1 || fail "stop failed"
  stopped_cleanly
fi

# --- reset ---------------------------------------------------------------------------------
step "reset"
dev reset >/dev/null 2>&1 || fail "reset failed"
[ ! -e "$CRV_DEVICE_HOME" ] || fail "reset left $CRV_DEVICE_HOME"
step "all passed"
