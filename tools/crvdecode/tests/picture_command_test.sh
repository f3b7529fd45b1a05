#!/usr/bin/env bash
# The decode tool's picture command end to end: pictures ImageMagick writes, loaded by the
# tool through the reader registry and compared byte for byte with ImageMagick's decoding
# to top-down BGR24; pages, refused files and usage errors by their results and exit codes.
#
#   picture_command_test.sh COMMAND...     (the tool, e.g. build/native/bin/crvdecode)
set -u
tool=("$@")
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/checks.sh"

# FILE REFERENCE [TOOL-ARGS...]: the tool's pixels against ImageMagick's decoding of REFERENCE.
same_picture() {
  local name=$1 ref=$2
  shift 2
  if ! "${tool[@]}" picture "$name" "$@" --bgr tool.bgr >out.txt; then
    fail "$name: picture failed: $(tr '\n' ' ' <out.txt)"
    return
  fi
  convert "$ref" -type truecolor bgr:ref.bgr
  cmp -s tool.bgr ref.bgr || fail "$name: pixels differ from ImageMagick's ($(stat -c %s tool.bgr) vs $(stat -c %s ref.bgr) bytes)"
  expect_field out.txt result 0
  expect_field out.txt text ""
}

convert rose: -type truecolor p24.bmp
same_picture p24.bmp p24.bmp
expect_field out.txt bpp 24
expect_field out.txt info Uncompressed

convert rose: -quality 90 p.jpg
same_picture p.jpg p.jpg
expect_field out.txt width 70
expect_field out.txt height 46
expect_field out.txt info Ver.1.01

convert rose: -colorspace Gray -type Grayscale grey.jpg
same_picture grey.jpg grey.jpg
expect_field out.txt bpp 8

convert rose: -colors 40 p.gif
same_picture p.gif p.gif
expect_field out.txt bpp 8

convert rose: -colorspace Gray p.pgm
same_picture p.pgm p.pgm

convert rose: -compress RLE p.pcx
same_picture p.pcx p.pcx

# Three pages: the page count, and each page by --page.
convert rose: \( rose: -flip \) \( rose: -negate \) -compress None three.tif
same_picture three.tif 'three.tif[0]'
expect_field out.txt frames 3
same_picture three.tif 'three.tif[2]' --page 2
expect_field out.txt frames 3
"${tool[@]}" picture three.tif --page 3 --bgr x.bgr >out.txt && fail "page 3 of three loaded"
expect_field out.txt result 17

# Refused and missing files: the result, its text, exit status 1.
convert rose: -compress LZW lzw.tif
"${tool[@]}" picture lzw.tif --bgr x.bgr >out.txt && fail "an LZW TIFF loaded"
expect_field out.txt result 12
expect_field out.txt text "LZW compression no supported due to Unisys patent enforcement."
"${tool[@]}" picture missing.jpg --bgr x.bgr >out.txt && fail "a missing file loaded"
expect_field out.txt result 4
expect_field out.txt text "The system cannot open the file."
echo hello >note.xyz
"${tool[@]}" picture note.xyz --bgr x.bgr >out.txt && fail "note.xyz loaded"
expect_field out.txt result 9

# Usage errors: 2.
"${tool[@]}" picture p.jpg >/dev/null 2>&1
[ $? -eq 2 ] || fail "no --bgr is not a usage error"
"${tool[@]}" picture p.jpg --flags many --bgr x.bgr >/dev/null 2>&1
[ $? -eq 2 ] || fail "a bad --flags is not a usage error"

[ "$failures" -eq 0 ] && echo "picture command: all checks passed"
exit $((failures > 0))
