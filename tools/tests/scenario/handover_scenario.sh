#!/usr/bin/env bash
# A picture handed to the running player on a portrait device: the player starts in the media
# panel; a second start with "\My Documents\Corners.bmp" hands the file over, and the running
# player switches to the album, shows the picture fitted in the picture view and empties the
# hand-over mailbox (ExtType 0); Return goes back to the album, which holds the picture.
#
# Checks that depend on pixels are marked "(pixels)": where the picture lies in the view and
# which colour each corner of it shows.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

picture=Corners.bmp

# visible CLASS: whether a window of CLASS shows.
visible() { probe windows "$1" 2>/dev/null | grep -q ' visible: 1 '; }

step "prepare a portrait device whose player starts in the media panel"
prepare_device portrait
reg_set_dword "$crv_options_key" View 5
start_player --shape portrait
wait_class "$crv_frame_class"
expect_soft_keys "Now Playing" Menu
if visible HALVREN_ALBUM_VIEW; then fail "the album shows, but the player should start in the media panel"; fi
shot media

step "a second start hands $picture to the running player"
"$device_sh" run --shape portrait -- "\\My Documents\\$picture" >>"$scn_home/run.log" 2>&1 ||
  fail "tools/device.sh run '\\My Documents\\$picture' failed"
wait_class HALVREN_PICTURE_VIEW
expect_soft_keys Send Menu
vl=$w_cl vt=$w_ct vw=$w_cw vh=$w_ch

# (pixels) The picture, fitted (never enlarged) and centred, each corner in its place.
read -r pic_w pic_h < <(identify -format '%w %h\n' "$docs/$picture")
read -r fit_w fit_h < <(awk -v w="$pic_w" -v h="$pic_h" -v vw="$vw" -v vh="$vh" \
  'BEGIN { z = vw / w; if (vh / h < z) z = vh / h; if (z > 1) z = 1; printf "%d %d\n", w * z, h * z }')
shown() {
  shot picture
  picture_box "$shot" "$vl" "$vt" "$vw" "$vh" || return 1
  local d
  for d in $((pb_w - fit_w)) $((pb_h - fit_h)) $((pb_l - vl - (vw - fit_w) / 2)) $((pb_t - vt - (vh - fit_h) / 2)); do
    [ "${d#-}" -le 2 ] || return 1
  done
}
within 20 shown ||
  fail "the picture view does not show $picture fitted (${fit_w}x$fit_h): it shows ${pb_w:-0}x${pb_h:-0} ($shot)"
shown_corners "$shot" "$docs/$picture"
[ "$corners" = "0 1 2 3" ] || fail "the picture is not shown as it is: its corners show $corners: $corners_seen"

step "the hand-over mailbox is empty again"
ext_type=''
mailbox_empty() {
  ext_type=$(reg_value "$crv_options_key" ExtType) || ext_type='(none)'
  [ "$ext_type" = 0 ]
}
within 10 mailbox_empty || fail "ExtType is $ext_type after the hand-over, not 0"

step "Return goes back to the album, which holds $picture"
key Return
wait_gone HALVREN_PICTURE_VIEW
wait_class HALVREN_ALBUM_VIEW
expect_soft_keys View Menu
album_grid
thumbnail_in() { shot album && cell_filled "$shot" 0; }
within 30 thumbnail_in || fail "the album's first cell shows no thumbnail"
step "passed"
