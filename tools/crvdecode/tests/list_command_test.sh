#!/usr/bin/env bash
# The decode tool's library and playlist commands end to end, over files written here: a
# device folder whose files the entries name in other cases, missing entries dropped, repeated
# library entries dropped, titles derived where none is stored, empty and broken files.
#
#   list_command_test.sh COMMAND...   (the tool)
set -u
tool=("$@")
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/checks.sh"
run() {  # expected-status ARGS...
  local want=$1
  shift
  "${tool[@]}" "$@" >out.txt
  local status=$?
  [ "$status" -eq "$want" ] || fail "$*: exit status $status, expected $want"
}
record() { tr -d '\r' <out.txt | sed -n "s/^record $1: //p"; }

mkdir -p "device/My Documents/My Music" "device/Storage Card"
: >"device/My Documents/My Music/Song One.mp3"
: >"device/Storage Card/Clip.AVI"
cat >hvml.hvl <<'XML'
<HVMediaLibrary><media type="Music"><location>\my documents\my music\song one.mp3</location><title>First</title><artist>Abba</artist><album>Gold</album><genre>Pop</genre><contrast>-3</contrast><brightness>7</brightness></media><media type="Video"><location>\storage card\clip.avi</location></media><media type="Music"><location>\my documents\my music\gone.mp3</location></media><media type="Music"><location>\My Documents\My Music\SONG ONE.MP3</location></media></HVMediaLibrary>
XML

run 0 library hvml.hvl --root "$work/device"
expect_field out.txt result loaded
expect_field out.txt count 2
[ "$(record 0)" = 'Music | \my documents\my music\song one.mp3 | First | Abba | Gold | Pop | -3 | 7' ] ||
  fail "library record 0 is '$(record 0)'"
[ "$(record 1)" = 'Video | \storage card\clip.avi | clip |  |  |  | 0 | 0' ] ||
  fail "library record 1 is '$(record 1)' (the title derived from the location)"

# A playlist keeps repeats; its missing entries go too.
sed -e 's/HVMediaLibrary/HVPlaylist/g' hvml.hvl >list.hvpl
run 0 playlist list.hvpl --root "$work/device"
expect_field out.txt result loaded
expect_field out.txt count 3

# Without the device folder nothing exists: every entry is dropped, the file still loaded.
run 0 playlist list.hvpl --root "$work/nowhere"
expect_field out.txt result empty
expect_field out.txt count 0

printf '<HVPlaylist></HVPlaylist>' >empty.hvpl
run 0 playlist empty.hvpl --root "$work/device"
expect_field out.txt result empty
printf 'not xml at all <<<' >broken.hvl
run 1 library broken.hvl --root "$work/device"
expect_field out.txt result failed
run 1 library missing.hvl --root "$work/device"
expect_field out.txt result failed
run 2 library hvml.hvl

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "library and playlist commands: all checks passed"
