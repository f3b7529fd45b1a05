#!/usr/bin/env bash
# The decode tool end to end: files written by ffmpeg and ImageMagick, decoded by the tool,
# compared byte for byte with the peers' own decoding to top-down BGR24.
#
#   crvdecode_test.sh COMMAND...     (the tool, e.g. build/native/bin/crvdecode)
set -u
tool=("$@")
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/checks.sh"
ffmpeg_q() { ffmpeg -v error -y "$@" </dev/null; }

# A movie decoded by the tool and by ffmpeg: the frames must be the same bytes.
same_frames() {
  local name=$1 count=$2
  if ! "${tool[@]}" frames "$name" --bgr tool.bgr >out.txt; then
    fail "$name: frames failed: $(tr '\n' ' ' <out.txt)"
    return
  fi
  ffmpeg_q -i "$name" -frames:v "$count" -f rawvideo -pix_fmt bgr24 ref.bgr
  cmp -s tool.bgr ref.bgr || fail "$name: frames differ from ffmpeg's ($(stat -c %s tool.bgr) vs $(stat -c %s ref.bgr) bytes)"
  [ "$(field out.txt decoded)" = "$count" ] || fail "$name: decoded $(field out.txt decoded), expected $count"
}

expect_field() {  # file key value
  local got
  got=$(field "$1" "$2")
  [ "$got" = "$3" ] || fail "$1: $2 is '$got', expected '$3'"
}

src="testsrc=size=66x50:rate=10"
tone="sine=frequency=440:sample_rate=22050"

# AVI: uncompressed 24-bit (ffmpeg stores its rows top-down), Cinepak, with sound.
ffmpeg_q -f lavfi -i "$src" -f lavfi -i "$tone" -frames:v 6 -shortest -c:v rawvideo -pix_fmt bgr24 \
  -c:a pcm_s16le raw.avi
same_frames raw.avi 6
"${tool[@]}" info raw.avi >info.txt
expect_field info.txt result 0
expect_field info.txt kind video
expect_field info.txt width 66
expect_field info.txt height 50
expect_field info.txt bpp 24
expect_field info.txt frames 6
expect_field info.txt audio "1 1 22050 16"

# QuickTime Animation, 24-bit, lossless.
ffmpeg_q -f lavfi -i "$src" -frames:v 5 -c:v qtrle -pix_fmt rgb24 anim.mov
same_frames anim.mov 5
"${tool[@]}" info anim.mov >info.txt
expect_field info.txt codec "rle "
expect_field info.txt frames 5

# --first and --count pick a range.
"${tool[@]}" frames raw.avi --first 2 --count 3 --bgr part.bgr >out.txt
ffmpeg_q -i raw.avi -vf "select=between(n\,2\,4)" -vsync 0 -f rawvideo -pix_fmt bgr24 part-ref.bgr
cmp -s part.bgr part-ref.bgr || fail "frames --first 2 --count 3 differ"

# Not a movie: load result 8, exit status 1, no crash.
head -c 3000 /dev/urandom >junk.avi
"${tool[@]}" info junk.avi >info.txt && fail "junk.avi loaded"
expect_field info.txt result 8
# No source for the extension: 9.
echo hello >note.xyz
"${tool[@]}" info note.xyz >info.txt
expect_field info.txt result 9

# A still picture through the picture command.
convert -size 33x17 gradient:red-blue -type truecolor pic.bmp
convert pic.bmp bgr:pic-ref.bgr
if "${tool[@]}" picture pic.bmp --bgr pic.bgr >out.txt; then
  cmp -s pic.bgr pic-ref.bgr || fail "pic.bmp pixels differ from ImageMagick's"
  expect_field out.txt width 33
  expect_field out.txt height 17
else
  fail "picture pic.bmp failed: $(tr '\n' ' ' <out.txt)"
fi

[ "$failures" -eq 0 ] && echo "crvdecode: all checks passed"
exit $((failures > 0))
