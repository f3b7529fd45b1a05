#!/usr/bin/env bash
# The converter's batches of real movies under Wine: ffmpeg writes the sources, the dialog
# test program converts them (the ConverterBatch tests), ffprobe looks at every result.
#
#   wine_batch_test.sh TEST_PROGRAM.exe WINE_RUN_SCRIPT
set -euo pipefail
program=$1
wine_run=$2
media=$(mktemp -d "${TMPDIR:-/tmp}/crv-converter-media.XXXXXX")
trap 'rm -rf "$media"' EXIT

make_movie() { # NAME SECONDS VIDEO_AND_SOUND_ARGS...
  local name=$1 seconds=$2
  shift 2
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc=size=320x240:rate=15:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" -ac 2 "$@" "$media/$name"
}
make_movie clip.avi 2 -c:v mjpeg -q:v 4 -c:a pcm_s16le -f avi
make_movie clip.mov 2 -c:v svq1 -c:a pcm_s16be -f mov
make_movie clip.mp4 2 -c:v mpeg4 -q:v 4 -c:a aac -b:a 96k -movflags +faststart -f mp4
make_movie tiny.avi 1 -c:v mjpeg -q:v 4 -c:a pcm_s16le -f avi
make_movie long.avi 30 -c:v mjpeg -q:v 4 -c:a pcm_s16le -f avi
make_movie cut.avi 2 -c:v mjpeg -q:v 4 -c:a pcm_s16le -f avi
truncate -s $(( $(stat -c %s "$media/cut.avi") / 2 )) "$media/cut.avi"
{ head -c 5000 /dev/zero | tr '\0' x; echo "This is a text, not a movie."; } >"$media/notes.avi"

# Wine shows the Linux root as drive Z:.
CRV_CONVERTER_MEDIA="Z:$(echo "$media" | tr / '\\')"
export CRV_CONVERTER_MEDIA
"$wine_run" "$program" --gtest_filter='ConverterBatch.*'

failures=0
check() { # FILE VIDEO_CODEC
  local file=$1 want=$2 info
  info=$(ffprobe -v error -show_entries format=format_name:stream=codec_type,codec_name,sample_rate,channels \
         -of default=noprint_wrappers=1 "$file" 2>&1) || { echo "FAIL: ffprobe cannot read $file"; failures=$((failures + 1)); return; }
  local ok=1
  grep -q '^format_name=mov,mp4' <<<"$info" || ok=0
  grep -q "^codec_name=$want\$" <<<"$info" || ok=0
  grep -q '^codec_name=adpcm_ima_qt$' <<<"$info" || ok=0
  grep -q '^sample_rate=22050$' <<<"$info" || ok=0
  grep -q '^channels=1$' <<<"$info" || ok=0
  if [ $ok = 1 ]; then
    echo "ok: ${file#$media/}: QuickTime, $want, adpcm_ima_qt mono 22050 Hz"
  else
    echo "FAIL: ${file#$media/}:"; echo "$info"; failures=$((failures + 1))
  fi
  # QuickTime brand, not an MP4 one.
  if ! ffprobe -v error -show_entries format_tags=major_brand -of default=nw=1:nk=1 "$file" | grep -q '^qt'; then
    echo "FAIL: ${file#$media/} is not branded as a QuickTime movie"; failures=$((failures + 1))
  fi
}
for f in clip.mov 'clip(1).mov' 'clip(2).mov'; do
  check "$media/h263/$f" h263
  check "$media/sorenson/$f" svq1
done
check "$media/custom/clip.mov" svq1
check "$media/own/movie(1).mov" h263
check "$media/paused/long.mov" h263
[ "$failures" = 0 ] || { echo "$failures converted movies are not what they should be"; exit 1; }
echo "every converted movie is a QuickTime movie with the chosen codecs"
