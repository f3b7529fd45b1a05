#!/usr/bin/env bash
# playback-measure.sh [SECONDS]: plays two movies of SECONDS (default 30) seconds - 320 x 240,
# 15 frames a second - through the player's own playback loop on the emulated device and prints
# what crvplay measured for each: a Cinepak AVI with PCM sound and a QuickTime H.263 movie
# with IMA 4:1 sound. Uses the device of tools/device.sh (prepared here) and the Windows build
# in CRV_BUILD_DIR (default build/win), which must have crvplay.exe.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}
device_sh=$root/tools/device.sh
export CRV_SKIP_BUILD=1
home=${CRV_DEVICE_HOME:-$HOME/.corvane-device}
"$device_sh" prepare >/dev/null
folder="$home/device/My Documents/Measure"
mkdir -p "$folder"

make_movie() {  # NAME ARGS...
  local out=$folder/$1
  shift
  [ -f "$out" ] || ffmpeg -v error -y -f lavfi -i "testsrc2=s=320x240:r=15:d=$seconds" \
    -f lavfi -i "sine=f=440:d=$seconds" "$@" "$out"
}
make_movie cinepak.avi -c:v cinepak -c:a pcm_s16le -ar 22050 -ac 1
make_movie h263.mov -c:v h263 -c:a adpcm_ima_qt -ar 22050 -ac 1

for movie in cinepak.avi h263.mov; do
  report="$home/device/Temp/crvplay-$movie.txt"
  rm -f "$report"
  "$device_sh" run --program crvplay --wait -- "\\My Documents\\Measure\\$movie" 320 240 \
    "\\Temp\\crvplay-$movie.txt" >/dev/null
  echo "== $movie"
  cat "$report" 2>/dev/null || echo "no report (see $home/logs/wine.log)"
done
