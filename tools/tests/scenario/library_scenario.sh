#!/usr/bin/env bash
# The media library on a portrait device with a few dozen songs and clips that ffmpeg wrote
# with their tags, in "\My Documents" and "\Storage Card" (and one in "\Windows" and one in a
# hidden folder, which are never searched): "Library..." opens the library dialog; "Update
# Library..." fills it (the progress bar shows, "Done" saves "hvml.hvl"); the artists are
# listed from the tags ("Abba" and "ABBA" one row); "Properties" renames a song; a clip picked
# by artist plays in the panel with its artist's other clip after it, and a third is queued up
# from "All Video"; Now Playing is reordered, saved as a ".hvpl" and played back from the file
# view; a Cancel during the update of a large tree stops at once and
# leaves "hvml.hvl" byte for byte as it was.
#
# The dialog's list names its rows in its window text, one per line; the panel's window text
# is "STATUS<tab>TIME<tab>VOLUME<tab>TITLE". Checks that depend on pixels are marked "(pixels)".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

dialog_class='#32770'
list_class=SysListView32
library_file="$CRV_DEVICE_HOME/device/Program Files/Corvane Cinema/hvml.hvl"
card=$CRV_DEVICE_HOME/device/Storage\ Card


# rows: the rows the dialog lists, one per line, into l_rows; l_rect the list's rectangle.
rows() {
  look "$list_class"
  l_rows=$(printf '%b' "${w_text//\\u/\\\\u}")
  l_rect=$w_rect
}
rows_are() { rows && [ "$l_rows" = "$1" ]; }
# row_index TEXT: the index of the row TEXT (fails when there is none).
row_index() {
  rows
  local i=0 line
  while IFS= read -r line; do
    [ "$line" = "$1" ] && { echo "$i"; return 0; }
    i=$((i + 1))
  done <<<"$l_rows"
  return 1
}
# tap_row TEXT: taps the row TEXT of the list.
tap_row() {
  local i l t r b
  i=$(row_index "$1") || fail "the list has no row \"$1\" (it has: ${l_rows//$'\n'/, })"
  read -r l t r b <<<"$l_rect"
  # The rows are 17 pixels high at 96 dpi (a 16-pixel icon and a gap) from the list's top.
  local row_h
  row_h=$(scaled 17)
  tap $((l + 40)) $((t + 2 + i * row_h + row_h / 2))
}
# level_is TEXT: the dialog's window text (the current level).
level_is() { look "$dialog_class" && [ "$w_text" = "$1" ]; }

# song FILE ARTIST ALBUM GENRE TITLE: one second of tone as MP3 with ID3 tags.
song() {
  mkdir -p "$(dirname "$1")"
  ffmpeg -v error -y -f lavfi -i "sine=f=$((300 + RANDOM % 500)):d=1" -c:a libmp3lame -b:a 32k \
    -metadata artist="$2" -metadata album="$3" -metadata genre="$4" -metadata title="$5" "$1" ||
    fail "ffmpeg could not write $1"
}
# clip FILE ARTIST TITLE COLOUR: six seconds of Motion JPEG and PCM with RIFF INFO tags.
clip() {
  mkdir -p "$(dirname "$1")"
  ffmpeg -v error -y -f lavfi -i "color=c=$4:s=160x120:r=15:d=6" -f lavfi -i "sine=f=440:d=6" \
    -c:v mjpeg -q:v 4 -c:a pcm_s16le -ar 22050 -ac 1 \
    -metadata artist="$2" -metadata album="Clips" -metadata genre="Short" -metadata title="$3" "$1" ||
    fail "ffmpeg could not write $1"
}

step "prepare a portrait device with 24 songs and 3 clips in My Documents and on the storage card"
prepare_device portrait
for n in 1 2 3; do song "$docs/Music/Abba/Abba $n.mp3" Abba Arrival Pop "Abba Song $n"; done
song "$docs/Music/Abba/Gold.mp3" ABBA Gold Pop "Gold Song"
for n in 1 2 3 4; do song "$docs/Music/Queen/Queen $n.mp3" Queen Opera Rock "Queen Song $n"; done
for n in $(seq 1 16); do song "$card/Music/Various/Track $n.mp3" "Band $((n % 4))" "Mix" Jazz "Track $n"; done
clip "$card/Clips/Red.avi" "Director" "Red Clip" red
clip "$card/Clips/Blue.avi" "Director" "Blue Clip" blue
clip "$card/Clips/Green.avi" "Camera" "Green Clip" green
song "$CRV_DEVICE_HOME/device/Windows/Chime.mp3" "System" "System" Other "Chime"
song "$docs/.hidden/Secret.mp3" "Hidden" "Hidden" Other "Secret"
reg_set_dword "$crv_options_key" View 5
start_player --shape portrait
wait_class "$panel_class"

step "\"Library...\" opens the library at its top level"
open_menu
tap_menu "Library..."
wait_class "$dialog_class" Library
expect_soft_keys Play Menu
within 10 rows_are $'My Music\nMy Videos\nMy Playlists\nNow Playing' ||
  fail "the library's top level lists: ${l_rows//$'\n'/, }"
shot library-top

step "\"Update Library...\" searches the device and \"Done\" saves the library"
open_menu
tap_menu "Update Library..."
wait_class "$dialog_class" "Update Library"
shot update-running
bar_seen=0
done_shown() {
  if probe windows msctls_progress32 2>/dev/null | grep -q ' visible: 1 '; then bar_seen=1; fi
  [ "$(soft_keys)" = "Search|Done" ]
}
within 60 done_shown || fail "the update did not end with \"Done\" (soft keys $(soft_keys))"
[ "$bar_seen" = 1 ] || fail "the update's progress bar never showed"
shot update-done
soft_key right
wait_class "$dialog_class" Library
[ -f "$library_file" ] || fail "\"Done\" did not write $library_file"
for f in 'abba\abba 1.mp3' 'abba\gold.mp3' 'queen\queen 4.mp3' 'various\track 16.mp3' 'clips\red.avi' 'clips\green.avi'; do
  grep -qF "$f<" "$library_file" || fail "the library does not hold ...\\$f"
done
if grep -qi 'chime\|secret' "$library_file"; then fail "the library holds a file of \\Windows or of a hidden folder"; fi

step "the artists come from the songs' tags, \"Abba\" and \"ABBA\" as one"
tap_row "My Music"
within 10 level_is "My Music" || fail "tapping \"My Music\" did not open it (level \"$w_text\")"
tap_row Artist
within 10 rows_are $'All Songs\nAbba\nBand 0\nBand 1\nBand 2\nBand 3\nCorvane Samples\nQueen' ||
  fail "the music artists are: ${l_rows//$'\n'/, }"
shot music-artists
# (pixels) the first row is selected: the selection's blue behind "All Songs".
read -r l t r b <<<"$l_rect"
read -r pr pg pb <<<"$(pixel "$shot" $((l + 30 + $(scaled 16))) $((t + 2 + $(scaled 17) / 2 - 4)))"
[ "$pb" -gt $((pr + 60)) ] || fail "the first artist row does not show as selected (pixel $pr $pg $pb, $shot)"
tap_row Abba
within 10 rows_are $'Abba Song 1\nAbba Song 2\nAbba Song 3\nGold Song' ||
  fail "Abba's songs are: ${l_rows//$'\n'/, }"

step "Properties renames a song; the library file keeps the new title"
tap_row "Gold Song"
open_menu
tap_menu Properties
wait_class "$dialog_class" Properties
keys_of_properties=$(soft_keys)
shot properties-open
key End
type_text " (Live)"
shot properties
case $keys_of_properties in Done\|*) soft_key left ;; *) soft_key right ;; esac
within 10 level_is Abba || fail "\"Done\" did not go back to Abba's songs (level \"$w_text\")"
within 10 rows_are $'Abba Song 1\nAbba Song 2\nAbba Song 3\nGold Song (Live)' ||
  fail "after Properties Abba's songs are: ${l_rows//$'\n'/, }"
grep -q '<title>Gold Song (Live)</title>' "$library_file" || fail "the new title is not in $library_file"

step "a clip picked by its artist plays in the panel; the artist's other clip follows it"
# Back to the top through the header's "Back", then My Videos > Artist > Director.
back_to_top() {
  local i
  for i in 1 2 3 4; do
    level_is Library && return 0
    wait_class Button Back
    read -r l t r b <<<"$w_rect"
    tap $(((l + r) / 2)) $(((t + b) / 2))
  done
  level_is Library
}
back_to_top || fail "Back did not climb to the library's top level (level \"$w_text\")"
tap_row "My Videos"
tap_row Artist
within 10 rows_are $'All Videos\nCamera\nDirector' || fail "the video artists are: ${l_rows//$'\n'/, }"
tap_row Director
within 10 rows_are $'Blue Clip\nRed Clip' || fail "Director's clips are: ${l_rows//$'\n'/, }"
tap_row "Red Clip"
shot director-clips
soft_key left
wait_gone "$dialog_class"
within 20 title_is "Red Clip" || fail "\"Red Clip\" did not come up in the panel (title \"${p_title:-}\")"
within 10 status_is Playing || fail "\"Red Clip\" does not play (status \"$p_status\")"
shot red-playing

step "another clip is queued up from All Video"
open_menu
tap_menu "Library..."
wait_class "$dialog_class" Library
tap_row "My Videos"
tap_row "All Video"
within 10 level_is "All Video" || fail "tapping \"All Video\" did not open it (level \"$w_text\")"
tap_row "Green Clip"
open_menu
tap_menu "Queue Up"
look "$dialog_class"
[ "$w_text" = "All Video" ] || fail "Queue Up left the list (level \"$w_text\")"

step "Now Playing holds the three clips; Move Up reorders it; it is saved as a playlist"
open_menu
tap_menu "Now Playing"
wait_class "$dialog_class" "Now Playing"
expect_soft_keys Play Menu
within 10 rows_are $'Blue Clip\nRed Clip\nGreen Clip' || fail "Now Playing lists: ${l_rows//$'\n'/, }"
tap_row "Red Clip"
open_menu
tap_menu "Move Up"
within 10 rows_are $'Red Clip\nBlue Clip\nGreen Clip' || fail "after Move Up Now Playing lists: ${l_rows//$'\n'/, }"
shot now-playing
open_menu
tap_menu "Save as Playlist..."
wait_class "$dialog_class" "Save Playlist"
type_text '\My Documents\Director Mix.hvpl'
key Return
within 10 test -f "$docs/Director Mix.hvpl" || fail "the playlist was not saved as \\My Documents\\Director Mix.hvpl"
grep -q 'red.avi.*blue.avi.*green.avi' <(tr -d '\n' <"$docs/Director Mix.hvpl") ||
  fail "the saved playlist does not hold Red, Blue and Green: $(cat "$docs/Director Mix.hvpl")"

step "the saved playlist plays from the file view"
wait_class "$dialog_class" "Now Playing"
open_menu
tap_menu "Library..."
within 10 level_is Library || fail "\"Library...\" did not go back to the top level"
open_menu
tap_menu "Open File..."
within 10 level_is "File System" || level_is "My Documents" || fail "\"Open File...\" shows \"$w_text\""
if ! level_is "My Documents"; then tap_row "My Documents"; fi
within 10 level_is "My Documents" || fail "tapping \"My Documents\" did not open it (level \"$w_text\")"
rows
[ "$(head -n1 <<<"$l_rows")" = Music ] && grep -qx 'Director Mix.hvpl' <<<"$l_rows" ||
  fail "My Documents lists: ${l_rows//$'\n'/, }"
if grep -q '^\.hidden$' <<<"$l_rows"; then fail "the file view lists the hidden folder"; fi
tap_row "Director Mix.hvpl"
soft_key left
wait_gone "$dialog_class"
within 20 title_is "Red Clip" || fail "the saved playlist did not start with \"Red Clip\" (title \"${p_title:-}\")"

step "Cancel during the update of a large tree stops at once and keeps hvml.hvl"
# 30,000 empty songs in 100 folders: the update runs for many seconds.
python3 -c 'import os, sys
for a in range(100):
    d = os.path.join(sys.argv[1], "Big", str(a)); os.makedirs(d, exist_ok=True)
    for b in range(300): open(os.path.join(d, "track%d.mp3" % b), "wb").close()' "$card" ||
  fail "writing the large tree failed"
cp "$library_file" "$scn_home/hvml-before.hvl"
soft_key left
wait_class "$dialog_class" "Now Playing"
open_menu
tap_menu "Library..."
open_menu
tap_menu "Update Library..."
wait_class "$dialog_class" "Update Library"
update_gone() { ! probe windows "$dialog_class" 2>/dev/null | grep ' visible: 1 ' | grep -q 'text: "Update Library"'; }
[ "$(soft_keys)" = "Search|Cancel" ] || fail "the update of the large tree was not running (soft keys $(soft_keys))"
probe windows Static 2>/dev/null | grep -q 'text: "\(Searching for files\|Adding files\)\.\.\."' ||
  fail "the update's phase line does not say what it does"
shot update-large
soft_key right
started=$SECONDS
within 10 update_gone || fail "Cancel did not close the update"
step "the update closed $((SECONDS - started)) s after the tap on Cancel (the probes included)"
[ $((SECONDS - started)) -le 5 ] || fail "Cancel took $((SECONDS - started)) s to close the update"
cmp -s "$library_file" "$scn_home/hvml-before.hvl" || fail "the cancelled update changed hvml.hvl"

step "\"Clear Now Playing\" asks first, then empties the list and the panel"
within 10 level_is Library || fail "after the cancelled update the dialog shows \"$w_text\""
open_menu
tap_menu "Now Playing"
within 10 rows_are $'Red Clip\nBlue Clip\nGreen Clip' || fail "Now Playing lists: ${l_rows//$'\n'/, }"
open_menu
tap_menu "Clear Now Playing"
wait_class "$dialog_class" Confitmation
shot clear-question
wait_class Button "&Yes"
read -r l t r b <<<"$w_rect"
tap $(((l + r) / 2)) $(((t + b) / 2))
within 10 rows_are '' || fail "after Yes Now Playing still lists: ${l_rows//$'\n'/, }"
within 10 title_is '' || fail "the panel still shows \"$p_title\" after Now Playing was cleared"
step "passed"
