#!/usr/bin/env bash
# The picture view's menu on a portrait device, driven as a person does: the first picture,
# Corners.bmp (a colour in each corner), opens fitted to the view; Menu > Rotate > Rotate +90
# turns it a quarter clockwise and ticks that item; Menu > Close goes back to the album, whose
# Menu > Save... writes an album file that keeps the item's rotation and fitted zoom; the
# picture opens again as it was left; Menu > Zoom > Zoom In twice enlarges it and takes the
# tick off Zoom To Fit; a second save stores a zoom 1.15 x 1.15 times the first.
#
# Checks that depend on pixels are marked "(pixels)": where the picture lies in the view
# (what is not its black background) and which colour each corner of it shows.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

picture=Corners.bmp
# Where the view's edges and the picture's may disagree: the fitted size is truncated.
box_tol=2

step "prepare a portrait device whose player starts in the album view"
prepare_device portrait
reg_set_dword "$crv_options_key" View 0
mapfile -t items < <(album_items)
n=${#items[@]}
[ "${items[0]:-}" = "$picture" ] || fail "the album's first picture is ${items[0]:-none}, not $picture"
read -r pic_w pic_h < <(identify -format '%w %h\n' "$docs/$picture")

start_player --shape portrait
wait_class HALVREN_ALBUM_VIEW
album_grid
expect_soft_keys View Menu

# open_first: taps the first cell and the View soft key; the picture view shows. Sets vl vt
# vw vh, the view's client area.
open_first() {
  local x y
  read -r x y <<<"$(cell_centre 0)"
  tap "$x" "$y"
  soft_key left
  wait_class HALVREN_PICTURE_VIEW
  expect_soft_keys Send Menu
  vl=$w_cl vt=$w_ct vw=$w_cw vh=$w_ch
}

# shows NAME: (pixels) a screenshot NAME in which the view shows a picture (a tenth of it at
# least), with its box (picture_box).
shows() {
  shot "$1"
  picture_box "$shot" "$vl" "$vt" "$vw" "$vh" && [ $((pb_w * pb_h * 10)) -ge $((vw * vh)) ]
}

# expect_box W H: (pixels) the picture's box is W x H, centred in the view.
expect_box() {
  local want="$1x$2 at $((vl + (vw - $1) / 2)),$((vt + (vh - $2) / 2))" d
  for d in $((pb_w - $1)) $((pb_h - $2)) $((pb_l - vl - (vw - $1) / 2)) $((pb_t - vt - (vh - $2) / 2)); do
    [ "${d#-}" -le "$box_tol" ] || fail "the picture shows ${pb_w}x$pb_h at $pb_l,$pb_t, not $want ($shot)"
  done
}

# fitted W H: "W H", the size of a W x H picture fitted to the view (never enlarged).
fitted() {
  awk -v w="$1" -v h="$2" -v vw="$vw" -v vh="$vh" \
    'BEGIN { z = vw / w; if (vh / h < z) z = vh / h; if (z > 1) z = 1; printf "%d %d\n", w * z, h * z }'
}

# expect_corners ORDER WHAT: (pixels) the box's corners show the picture's corners ORDER
# (shown_corners).
expect_corners() {
  shown_corners "$shot" "$docs/$picture"
  [ "$corners" = "$1" ] || fail "the picture is not $2: its corners show $corners, not $1: $corners_seen"
}

# after_command: the overlay toolbar that a zoom or rotate command shows goes after 3 s; the
# picture is measured without it.
after_command() { wait_gone HALVREN_PICTURE_TOOLS 10; }

# save_album PATH: Menu > Save... in the album and PATH typed as the name in the save dialog.
save_album() {
  local file=$docs/${1##*\\}
  rm -f "$file"
  open_menu
  tap_menu "Save..."
  wait_class '#32770'
  shot "save-dialog-${file##*/}"
  # The dialog is larger than the screen: "File name" is reached by its mnemonic.
  key alt+n
  key End shift+Home
  type_text "$1"
  key Return
  wait_gone '#32770' 20
  within 10 test -s "$file" || fail "Save... did not write $file"
  wait_class HALVREN_ALBUM_VIEW
}

# album_item0 FILE: the album file's result and item count (crvdecode) and its first item's
# path and rotation (crvdecode), view flags and zoom (the file's bytes) into a_result a_items
# a_path a_rotation a_flags a_zoom.
album_item0() {
  local out decode=$scn_root/build/native/bin/crvdecode device_path
  if [ -x "$decode" ]; then
    out=$("$decode" album "$1") || true
  else
    # The Windows build's own decoder, on the device (D: is the device folder).
    device_path="D:${1#"$CRV_DEVICE_HOME/device"}"
    out=$("$device_sh" shell "$CRV_WINE" "$CRV_DEVICE_HOME/device/Program Files/Corvane Cinema/crvdecode.exe" \
      album "${device_path//\//\\}" 2>>"$scn_home/decode.log" | tr -d '\r') || true
  fi
  a_result=$(sed -n 's/^result: //p' <<<"$out")
  a_items=$(sed -n 's/^items: //p' <<<"$out")
  a_path=$(sed -n 's/^item 0 path: //p' <<<"$out")
  a_rotation=$(sed -n 's/^item 0 rotation: //p' <<<"$out")
  [ -n "$a_result" ] || fail "crvdecode album $1 printed no result: $out"
  # The item's fixed part follows its two counted strings: view flags at 20, zoom at 24.
  read -r a_flags a_zoom < <(python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 15
for _ in range(4):  # album folder, album sound, item path, item sound
    at += 4 + struct.unpack_from("<I", data, at)[0]
flags, zoom = struct.unpack_from("<If", data, at + 20)
print(flags, "%.9g" % zoom)
EOF
  ) || fail "reading the first item of $1 failed"
}

step "the first picture, $picture, opens fitted to the view"
open_first
within 20 shows fitted || fail "the picture view shows no picture"
read -r fit_w fit_h <<<"$(fitted "$pic_w" "$pic_h")"
expect_box "$fit_w" "$fit_h"
expect_corners "0 1 2 3" "shown as it is"

step "Menu > Rotate > Rotate +90 turns it a quarter clockwise"
open_menu
tap_menu Rotate
expect_menu_state "Rotate +90" 0 0
shot menu-rotate
tap_menu "Rotate +90"
after_command
within 10 shows rotated || fail "the picture view shows no picture after Rotate +90"
read -r turn_w turn_h <<<"$(fitted "$pic_h" "$pic_w")"
expect_box "$turn_w" "$turn_h"
expect_corners "3 0 1 2" "turned a quarter clockwise"

step "the menu ticks Rotate +90 and still Zoom To Fit"
open_menu
tap_menu Rotate
expect_menu_state "Rotate +90" 0 1
expect_menu_state "Rotate 180" 0 0
expect_menu_state "Rotate -90" 0 0
expect_menu_state "Rotate To Fit" 0 0
close_menus
open_menu
tap_menu Zoom
expect_menu_state "Zoom To Fit" 0 1
close_menus

step "Menu > Close goes back to the album"
open_menu
tap_menu Close
wait_gone HALVREN_PICTURE_VIEW
wait_class HALVREN_ALBUM_VIEW
expect_soft_keys View Menu
shot album

step "Menu > Save... writes the album with the turned, fitted item"
save_album '\My Documents\Scenario.mab'
album_item0 "$docs/Scenario.mab"
[ "$a_result" = 0 ] || fail "Scenario.mab does not load: result $a_result"
[ "$a_items" = "$n" ] || fail "Scenario.mab has $a_items items, not $n"
[[ $a_path == *\\$picture ]] || fail "Scenario.mab's first item is $a_path, not $picture"
[ "$a_rotation" = 90 ] || fail "Scenario.mab's first item has rotation $a_rotation, not 90"
[ $((a_flags & 1)) = 1 ] || fail "Scenario.mab's first item has view flags $a_flags: not zoomed to fit"
fit_zoom=$a_zoom

step "the picture opens again as it was left"
open_first
within 20 shows reopened || fail "the picture view shows no picture"
expect_box "$turn_w" "$turn_h"
expect_corners "3 0 1 2" "still turned"

step "Menu > Zoom > Zoom In twice enlarges it"
open_menu
tap_menu Zoom "Zoom In"
open_menu
tap_menu Zoom "Zoom In"
after_command
within 10 shows zoomed || fail "the picture view shows no picture after Zoom In"
# (pixels) Each side 1.15 x 1.15 times the fitted one, as far as the view shows it.
read -r zoom_w zoom_h < <(awk -v w="$turn_w" -v h="$turn_h" -v vw="$vw" -v vh="$vh" \
  'BEGIN { w = int(w * 1.3225); h = int(h * 1.3225); print (w < vw ? w : vw), (h < vh ? h : vh) }')
expect_box "$zoom_w" "$zoom_h"

step "the menu no longer ticks Zoom To Fit"
open_menu
tap_menu Zoom
expect_menu_state "Zoom To Fit" 0 0
expect_menu_state "100%" 0 0
shot menu-zoom
close_menus

step "a second save stores the zoom 1.3225 times the fitted one"
open_menu
tap_menu Close
wait_gone HALVREN_PICTURE_VIEW
wait_class HALVREN_ALBUM_VIEW
save_album '\My Documents\Scenario Zoomed.mab'
album_item0 "$docs/Scenario Zoomed.mab"
[ "$a_result" = 0 ] || fail "Scenario Zoomed.mab does not load: result $a_result"
[ "$a_rotation" = 90 ] || fail "Scenario Zoomed.mab's first item has rotation $a_rotation, not 90"
[ $((a_flags & 1)) = 0 ] || fail "Scenario Zoomed.mab's first item has view flags $a_flags: still zoomed to fit"
ratio=$(awk -v a="$a_zoom" -v b="$fit_zoom" 'BEGIN { printf "%.6f", (b > 0 ? a / b : 0) }')
awk -v r="$ratio" 'BEGIN { d = r - 1.3225; exit !(d < 1e-4 && d > -1e-4) }' ||
  fail "the zoom went from $fit_zoom to $a_zoom: $ratio times, not 1.3225"
step "passed (zoom $fit_zoom fitted, $a_zoom after Zoom In twice)"
