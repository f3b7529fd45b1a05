#!/usr/bin/env bash
# The decode tool's album command end to end, over the hand-made albums beside this script:
# the header, each item's joined path, rotation, thumbnail and attachment slots with the MD5
# of the bytes stored in the file; refused and missing albums by their results and exit codes.
#
#   album_command_test.sh ALBUM-FOLDER COMMAND...   (the albums, then the tool)
set -u
seeds=$1
shift
tool=("$@")
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/checks.sh"
# album file, expected exit status
run() {
  "${tool[@]}" album "$1" >out.txt
  local status=$?
  [ "$status" -eq "$2" ] || fail "$1: exit status $status, expected $2"
}
# The MD5 of COUNT bytes of FILE from byte OFFSET (counted from 0).
md5_of() { tail -c +"$(($2 + 1))" "$1" | head -c "$3" | md5sum | cut -d' ' -f1; }

run "$seeds/empty.mab" 0
expect_field out.txt result 0
expect_field out.txt items 0
expect_field out.txt options 1
expect_field out.txt folder '\My Documents'
expect_field out.txt sound '\My Documents\theme.wav'

# One item: a drawing (24 bytes), a slot of an unknown type (8 bytes, skipped) and display
# values (16 bytes) after its 332-byte record, which begins at byte 97; an 8 x 6 thumbnail.
a="$seeds/attachments.mab"
run "$a" 0
expect_field out.txt result 0
expect_field out.txt items 1
expect_field out.txt options 6
expect_field out.txt sound ''
expect_field out.txt 'item 0 path' '\My Documents\Sunset.jpg'
expect_field out.txt 'item 0 rotation' 90
expect_field out.txt 'item 0 thumbnail' '8 6 24'
expect_field out.txt 'item 0 slot 0' "2 24 $(md5_of "$a" 429 24)"
expect_field out.txt 'item 0 slot 1' '9 8 skipped'
expect_field out.txt 'item 0 slot 2' "3 16 $(md5_of "$a" 461 16)"
[ -z "$(field out.txt 'item 0 slot 3')" ] || fail "a free slot is listed"

# A full path stays as it is; a bare name joins the album folder; no thumbnail is none.
run "$seeds/two_items.mab" 0
expect_field out.txt items 2
expect_field out.txt 'item 0 path' '\Storage Card\Rings.gif'
expect_field out.txt 'item 0 thumbnail' none
expect_field out.txt 'item 1 path' '\My Documents\Corners.bmp'
expect_field out.txt 'item 1 thumbnail' '3 4 24'

# Another version, an album cut short, a missing file, no file named.
{ printf 'RAB 101'; tail -c +8 "$a"; } >version.mab
run version.mab 1
expect_field out.txt result 10
head -c 500 "$a" >short.mab
run short.mab 1
expect_field out.txt result 8
expect_field out.txt items 0
run missing.mab 1
expect_field out.txt result 4
"${tool[@]}" album >/dev/null 2>&1
[ $? -eq 2 ] || fail "album without a file is not a usage error"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "album command: all checks passed"
