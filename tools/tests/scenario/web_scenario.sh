#!/usr/bin/env bash
# Movies and pictures from the web on a portrait device, against nginx on loopback: an AVI and
# a QuickTime movie typed into "Open URL..." play in the panel while nginx (throttled) is still
# sending them; a web page of 50 links lists exactly its media and picture links, Cancel
# there brings the address dialog back, and a JPEG picked from it is downloaded into
# "\My Documents" and shown; hostile addresses never write outside "\My Documents"; a history
# row fills the address; "Clear History" empties the list and the stored history.
#
# The panel's window text is "STATUS<tab>TIME<tab>VOLUME<tab>TITLE"; the dialogs' lists name
# their rows in their window text, one per line. Checks that depend on pixels are marked
# "(pixels)".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

video_class=HALVREN_VIDEO_VIEW
dialog_class='#32770'
list_class=SysListView32
nginx_sh=$scn_root/player/media/tests/nginx_loopback.sh
urls_key='Software\Halvren\Corvane Cinema\ListUrls'

playing_title() { panel_state && [ "$p_status" = Playing ] && [ "$p_title" = "$1" ]; }
rows() {
  look "$list_class"
  l_rows=$(printf '%b' "$w_text")
  l_rect=$w_rect
}
# tap_row TEXT: taps the first row TEXT of the visible list (rows 17 pixels high at 96 dpi).
tap_row() {
  rows
  local i=0 line l t r b row_h
  while IFS= read -r line; do
    [ "$line" = "$1" ] && break
    i=$((i + 1))
  done <<<"$l_rows"
  [ "$line" = "$1" ] || fail "the list has no row \"$1\" (it has: ${l_rows//$'\n'/, })"
  read -r l t r b <<<"$l_rect"
  row_h=$(scaled 17)
  tap $((l + 40)) $((t + 2 + i * row_h + row_h / 2))
}
dialog_is() { probe windows "$dialog_class" 2>/dev/null | grep ' visible: 1 ' | grep -q "text: \"$1\""; }
dialog_gone() { ! dialog_is "$1"; }

# pause_playing: a movie still playing is paused with the skin's play/pause button ("Open
# URL..." is grayed while one plays). The button is the second of the row at y 227-259 of a
# portrait panel, 28 pixels wide from x 31.
not_playing() { panel_state && [ "$p_status" != Playing ]; }
pause_playing() {
  probe windows "$panel_class" 2>/dev/null | grep -q ' visible: 1 ' || return 0
  panel_state
  [ "$p_status" = Playing ] || return 0
  local l t r b
  read -r l t r b <<<"$w_rect"
  tap $((l + 31 + 14)) $((t + 227 + 16))
  within 10 not_playing || fail "the play/pause button did not pause the movie"
}

# open_url_dialog: "Open URL..." from the menu (a movie playing is paused first).
open_url_dialog() {
  pause_playing
  open_menu
  tap_menu "Open URL..."
  within 10 dialog_is "Open URL" || fail "\"Open URL...\" did not open the address dialog"
}
# type_address TEXT: replaces the address in the dialog's edit with TEXT.
type_address() {
  look Edit
  local l t r b
  read -r l t r b <<<"$w_rect"
  tap $(((l + r) / 2)) $(((t + b) / 2))
  key End shift+Home
  type_text "$1"
}
# open_address TEXT: the whole "Open URL..." with a typed address and OK.
open_address() {
  open_url_dialog
  type_address "$1"
  soft_key left
  within 10 dialog_gone "Open URL" || fail "OK did not close the address dialog for $1"
}

# device_tree: every file of the device drive but the player's own changing ones.
device_tree() {
  (cd "$CRV_DEVICE_HOME/device" && find . -type f ! -name temp.url ! -name '*.hvl' | LC_ALL=C sort)
}

step "serve movies, a web page and pictures from nginx on loopback"
www_dir=$scn_home/nginx
mkdir -p "$www_dir/www/slow" "$www_dir/www/gallery"
# 10 s of test pattern with sound, and a QuickTime movie. nginx sends less than a block a
# second (its rate counts whole seconds), so every 16 KiB block of them takes a second.
ffmpeg -v error -y -f lavfi -i "testsrc=size=128x96:rate=15:d=10" -f lavfi -i "sine=f=440:d=10" \
  -c:v mjpeg -q:v 15 -c:a pcm_u8 -ar 8000 -ac 1 "$www_dir/www/slow/clip.avi" ||
  fail "ffmpeg could not write the AVI"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=128x96:rate=10:d=8" -c:v cinepak "$www_dir/www/slow/movie.mov" ||
  fail "ffmpeg could not write the QuickTime movie"
convert -size 240x180 'xc:rgb(255,128,0)' -quality 95 "$www_dir/www/gallery/photo.jpg" || fail "convert failed"
convert -size 64x64 'xc:rgb(0,0,255)' "$www_dir/www/gallery/small.bmp"
cp "$www_dir/www/gallery/photo.jpg" "$www_dir/www/CON.jpg"
cp "$www_dir/www/gallery/photo.jpg" "$www_dir/www/..\\..\\Windows\\x.jpg"
cp "$www_dir/www/gallery/small.bmp" "$www_dir/www/x.bmp"
# 50 links: media and pictures (one twice, one in upper-case tags), pages, archives, a mail.
expected_rows=''
{
  echo '<html><body>'
  for i in $(seq 1 50); do
    case $((i % 5)) in
      0) name="clip$i.avi"; expected_rows+="$name"$'\n'; echo "<a href=\"$name\">movie $i</a>" ;;
      1) name="page$i.html"; echo "<a href=\"$name\">page $i</a>" ;;
      2) name="song$i.mp3"; expected_rows+="$name"$'\n'; echo "<A HREF=\"$name\">song $i</A>" ;;
      3) name="archive$i.zip"; echo "<a href=\"$name\">zip $i</a>" ;;
      4) name="pic$i.gif"; expected_rows+="$name"$'\n'; echo "<a href=\"$name\">picture $i</a>" ;;
    esac
  done
  echo '<a  href="twospaces.avi">not a link</a> <a href="mailto:x@y">mail</a>'
  echo '<a href="photo.jpg">the photo</a> <a href="photo.jpg">again</a> <a href="sub/small.bmp">small</a>'
  echo '</body></html>'
} >"$www_dir/www/gallery/index.html"
expected_rows+=$'photo.jpg\nphoto.jpg\nsmall.bmp'
mkdir -p "$www_dir/www/gallery/sub"
cp "$www_dir/www/gallery/small.bmp" "$www_dir/www/gallery/sub/small.bmp"
echo 'location /slow/ { limit_rate 12k; }' >"$www_dir/server.conf"
CRV_NGINX_LIFETIME=900 "$nginx_sh" start "$www_dir"
grep -qx running "$www_dir/status" || fail "nginx did not start: $(cat "$www_dir/status")"
port=$(cat "$www_dir/port")
base="http://127.0.0.1:$port"
trap '"$nginx_sh" stop "$www_dir" >/dev/null 2>&1 || true; scn_cleanup' EXIT

prepare_device portrait
reg_set_dword "$crv_options_key" View 5
start_player --shape portrait
wait_class "$panel_class"

# range_requests FILE: the ranged requests nginx has answered for FILE so far.
range_requests() { grep -c "bytes=" <(grep "" "$www_dir/access.log" 2>/dev/null || true) || true; }
blocks_of() { local size; size=$(stat -c %s "$1"); echo $(((size + 16383) / 16384)); }

# plays_from_web URL FILE NAME: URL plays in the panel, its first frame shown while nginx has
# not yet sent every block of FILE.
plays_from_web() {
  local url=$1 file=$2 name=$3 blocks answered l t r b
  blocks=$(blocks_of "$file")
  : >"$www_dir/access.log"
  open_address "$url"
  # One look for both: probes are slow while a movie plays.
  within 30 playing_title "$url" ||
    fail "$name from the web does not play with the address as its title (\"${p_status:-}\", \"${p_title:-}\")"
  wait_class "$video_class"
  read -r l t r b <<<"$w_rect"
  # The count is taken after the screenshot: the picture in it showed with fewer blocks there.
  local shown=0 i
  for i in $(seq 1 20); do
    shot "$name-playing-$i"
    answered=$(range_requests)
    if [ "$(pixel "$shot" $(((l + r) / 2)) $(((t + b) / 2)))" != "0 0 0" ]; then shown=1; break; fi
    sleep 0.3
  done
  [ "$shown" = 1 ] || fail "(pixels) $name shows no picture while it plays from the web ($shot)"
  [ "$answered" -lt "$blocks" ] ||
    fail "$name: all $blocks blocks had arrived before its first picture showed ($answered requests)"
  step "$name: a picture after at most $answered of $blocks blocks"
  # (pixels) the download's bar over the video while it downloads: the overlay's blue.
  region_has_blue "$shot" "$l" "$t" "$r" "$b" || step "note: no progress bar caught in $shot"
  # The download goes on to its end while the movie plays.
  within 60 bash -c "[ \$(grep -c 'bytes=' '$www_dir/access.log') -ge $((blocks - 3)) ]" ||
    fail "$name: the download did not go on while it played ($(range_requests) of $blocks)"
}
# region_has_blue FILE L T R B: some pixel of the box is the overlay's blue (0 0 120ish).
region_has_blue() {
  convert "$1" -crop "$(($4 - $2))x$(($5 - $3))+$2+$3" -depth 8 txt:- 2>/dev/null |
    awk -F'[(),]' 'NR > 1 && $2 < 40 && $3 < 40 && $4 > 90 { found = 1 } END { exit !found }'
}

step "an AVI typed into \"Open URL...\" plays while it downloads"
plays_from_web "$base/slow/clip.avi" "$www_dir/www/slow/clip.avi" avi
[ -f "$docs/temp.url" ] && [ "$(cat "$docs/temp.url")" = "$base/slow/clip.avi" ] ||
  fail "\"\\My Documents\\temp.url\" does not hold the address: $(cat "$docs/temp.url" 2>/dev/null)"
[ "$(reg_value "$crv_options_key" LastLoaddedUrl)" = "$base/slow/clip.avi" ] ||
  fail "LastLoaddedUrl is not the address just opened"

step "a QuickTime movie typed into \"Open URL...\" plays while it downloads"
plays_from_web "$base/slow/movie.mov" "$www_dir/www/slow/movie.mov" mov

step "a history row fills the address"
open_url_dialog
rows
[ "$l_rows" = "$base/slow/movie.mov"$'\n'"$base/slow/clip.avi" ] ||
  fail "the history lists: ${l_rows//$'\n'/, }"
tap_row "$base/slow/clip.avi"
soft_key left
within 10 dialog_gone "Open URL" || fail "OK did not close the address dialog"
within 30 playing_title "$base/slow/clip.avi" ||
  fail "the tapped history row was not the address played (\"$p_status\", \"$p_title\")"

step "a web page lists exactly its media and picture links; Cancel brings the address back"
open_address "$base/gallery/"
within 20 dialog_is "Select File" || fail "the page's file list did not open"
rows
[ "$l_rows" = "$expected_rows" ] || fail "the page's file list is: ${l_rows//$'\n'/, }"
shot select-files
soft_key right
within 10 dialog_is "Open URL" || fail "Cancel in the file list did not bring back the address dialog"
rows
[ "${l_rows%%$'\n'*}" = "$base/gallery/" ] || fail "the history does not start with the page: ${l_rows//$'\n'/, }"
soft_key left
within 20 dialog_is "Select File" || fail "the page's file list did not open again"

step "a JPEG picked from the page is downloaded into \"My Documents\" and shown"
before=$(device_tree)
# The photo's rows are the last but one and two: the first row tapped, then End and Up.
tap_row "${expected_rows%%$'\n'*}"
key End Up
soft_key left
within 20 bash -c "cmp -s '$www_dir/www/gallery/photo.jpg' '$docs/photo.jpg'" ||
  fail "\"\\My Documents\\photo.jpg\" is not the server's picture"
wait_class HALVREN_PICTURE_VIEW '' 20
sleep 1
shot photo-shown
read -r l t r b <<<"$w_rect"
# (pixels) the orange picture in the middle of the picture view.
expect_pixel "$shot" $(((l + r) / 2)) $(((t + b) / 2)) 255 128 0 12
after=$(device_tree)
[ "$(comm -13 <(echo "$before") <(echo "$after"))" = "./My Documents/photo.jpg" ] ||
  fail "the download changed the device: $(comm -3 <(echo "$before") <(echo "$after") | tr '\n' ' ')"

# back_to_album: a picture view shown closes ("Close" in its menu) back to the album.
back_to_album() {
  probe windows HALVREN_PICTURE_VIEW 2>/dev/null | grep -q ' visible: 1 ' || return 0
  open_menu
  tap_menu Close
  wait_gone HALVREN_PICTURE_VIEW 10
}

step "hostile addresses never write outside \"My Documents\""
# From the album now: its menu has "Open URL..." too.
back_to_album
for hostile in "$base/..%5c..%5cWindows%5cx.jpg" "$base/%2e%2e/x.bmp" "$base/x%00.jpg" "$base/CON.jpg"; do
  before=$(device_tree)
  open_url_dialog
  type_address "$hostile"
  soft_key left
  within 10 dialog_gone "Open URL" || {
    # An address the server refuses keeps the dialog with the connection message.
    probe windows "$dialog_class" 2>/dev/null | grep -q 'text: "Connection Error"' && key Return
    open_menu; tap_menu Cancel
  }
  within 15 dialog_gone "Downloading..." || fail "the download of $hostile did not end"
  sleep 1
  after=$(device_tree)
  added=$(comm -13 <(echo "$before") <(echo "$after"))
  removed=$(comm -23 <(echo "$before") <(echo "$after"))
  [ -z "$removed" ] || fail "$hostile removed files: $removed"
  while IFS= read -r f; do
    [ -z "$f" ] && continue
    case $f in
      "./My Documents/"*/*) fail "$hostile wrote into a folder below My Documents: $f" ;;
      "./My Documents/"*) ;;
      *) fail "$hostile wrote outside My Documents: $f" ;;
    esac
  done <<<"$added"
  step "$hostile: ${added:-nothing written}"
  close_menus
  back_to_album
done
[ ! -e "$CRV_DEVICE_HOME/device/Windows/x.jpg" ] || fail "a download landed in \\Windows"

step "\"Clear History\" empties the list and the stored history"
open_url_dialog
rows
[ -n "$l_rows" ] || fail "the history is empty before Clear History"
open_menu
tap_menu "Clear History"
settle
rows
[ -z "$l_rows" ] || fail "Clear History left: ${l_rows//$'\n'/, }"
if reg_value "$urls_key" count >/dev/null 2>&1; then fail "the stored history (ListUrls) is still there"; fi
shot history-cleared
open_menu
tap_menu Cancel
within 10 dialog_gone "Open URL" || fail "Cancel did not close the address dialog"

step "done"
