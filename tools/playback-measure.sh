#!/usr/bin/env bash
# playback-measure.sh [SECONDS]: plays two movies of SECONDS (default 30) seconds at 15 frames a
# second through the player's own playback loop on the emulated device and prints
# what crvplay measured for each: a 320 x 240 Cinepak AVI with PCM sound and a 352 x 288
# QuickTime H.263 movie (the nearest size H.263 has) with IMA 4:1 sound. Uses the device of tools/device.sh (prepared here) and the Windows build
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

make_movie() {  # NAME SIZE ARGS...
  local out=$folder/$1 size=$2
  shift 2
  [ -s "$out" ] && return 0
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=$size:r=15:d=$seconds" \
    -f lavfi -i "sine=f=440:d=$seconds" "$@" -f "${out##*.}" "$out.part" && mv -f "$out.part" "$out"
}
make_movie cinepak.avi 320x240 -c:v cinepak -c:a pcm_s16le -ar 22050 -ac 1
make_movie h263.mov 352x288 -c:v h263 -c:a adpcm_ima_qt -ar 22050 -ac 1

for movie in cinepak.avi h263.mov; do
  report="$home/device/Temp/crvplay-$movie.txt"
  rm -f "$report"
  "$device_sh" run --program crvplay --wait -- "\\My Documents\\Measure\\$movie" 320 240 \
    "\\Temp\\crvplay-$movie.txt" >/dev/null
  echo "== $movie"
  cat "$report" 2>/dev/null || echo "no report (see $home/logs/wine.log)"
done
