#!/usr/bin/env bash
# The album and the picture view on a portrait device, driven as a person does: the album of
# "\My Documents" shows a thumbnail of each picture in name order and nothing more; a tap on
# the first cell and the "View" soft key open the picture view on it; Right shows the next
# picture; Return goes back to the album, Return there opens the current picture again and
# the Done button closes it; closing the player keeps the album view for the next start.
#
# Checks that depend on pixels are marked "(pixels)": the album's gradient background, the
# black background of the picture view, and mean colours of thumbnails and pictures.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Mean colours agree within this many levels per channel: thumbnails and fitted pictures are
# scaled copies, and their pixels that look like the background are not counted.
colour_tol=48

step "prepare a portrait device whose player starts in the album view"
prepare_device portrait
reg_set_dword "$crv_options_key" View 0
mapfile -t items < <(album_items)
n=${#items[@]}
[ "$n" -ge 2 ] || fail "fewer than two sample pictures in \\My Documents"

step "start the player"
start_player --shape portrait
wait_class "$crv_frame_class"
wait_class HALVREN_ALBUM_VIEW
album_grid
[ "$n" -le $((g_cols * g_rows)) ] || fail "the $n sample pictures need a scroll bar; this scenario wants one page"
expect_soft_keys View Menu

# (pixels) Every item's cell shows its thumbnail: enough of it is not the gradient.
thumbnails_in() {
  shot thumbnails
  local i
  for ((i = 0; i < n; i++)); do cell_filled "$shot" "$i" || return 1; done
}
step "wait for the $n thumbnails (${items[*]})"
within 60 thumbnails_in || fail "not all of the first $n cells show a thumbnail after 60 s"
for ((i = n; i < g_cols * g_rows; i++)); do
  if cell_filled "$shot" "$i"; then fail "cell $i shows something, but the album has $n pictures"; fi
done

# (pixels) Cell i shows picture i: their mean colours agree. Cell 0 holds the current item,
# which may be drawn highlighted, so it is left out.
step "the thumbnails are the pictures, in name order"
for ((i = 1; i < n; i++)); do
  got=$(cell_stats "$shot" "$i" | awk '{print $3, $4, $5}')
  want=$(picture_colour "$docs/${items[i]}")
  near "$got" "$want" "$colour_tol" || fail "cell $i is $got on average; ${items[i]} is $want"
done

step "tap the first picture, then the View soft key"
read -r x y <<<"$(cell_centre 0)"
tap "$x" "$y"
soft_key left
wait_class HALVREN_PICTURE_VIEW
expect_soft_keys Send Menu
look HALVREN_PICTURE_VIEW
view="$w_cl $w_ct $w_cw $w_ch"
view_area=$((w_cw * w_ch))

# showing I: (pixels) the picture view shows picture I: at least a tenth of the view is not
# its black background (the empty view's icon and text are much less) and that part has the
# picture's mean colour. Sets seen to what it found.
showing() {
  shot "picture-$1"
  local stats unlike total r g b
  # shellcheck disable=SC2086  # the view's rectangle is four arguments
  stats=$(region_stats "$shot" $view 24 0 0 0) || return 1
  read -r unlike total r g b <<<"$stats"
  seen="$((unlike * 100 / total))% picture, mean $r $g $b"
  [ $((unlike * 10)) -ge "$total" ] && near "$r $g $b" "$(picture_colour "$docs/${items[$1]}")" "$colour_tol"
}
seen=''
step "the picture view shows ${items[0]}"
within 20 showing 0 || fail "the picture view does not show ${items[0]} ($seen)"
first=$shot

step "Right shows ${items[1]}"
key Right
within 20 showing 1 || fail "after Right the picture view does not show ${items[1]} ($seen)"
# shellcheck disable=SC2086
changed=$(differing "$first" "$shot" $view)
[ "$changed" -gt $((view_area / 50)) ] || fail "the view hardly changed with Right ($changed pixels)"

step "Return goes back to the album"
key Return
wait_gone HALVREN_PICTURE_VIEW
wait_class HALVREN_ALBUM_VIEW
expect_soft_keys View Menu

step "Return in the album opens the current picture, ${items[1]}; the Done button closes it"
key Return
wait_class HALVREN_PICTURE_VIEW
within 20 showing 1 || fail "Return in the album did not show ${items[1]} ($seen)"
done_button
wait_gone HALVREN_PICTURE_VIEW
wait_class HALVREN_ALBUM_VIEW
expect_soft_keys View Menu

step "closing the player keeps the album view for the next start"
stop_device
view_value=$(reg_value "$crv_options_key" View) || fail "no View value after the player closed"
[ "$view_value" = 0 ] || fail "View is $view_value after closing in the album, not 0"
load_media=$(reg_value "$crv_options_key" LoadMedia) || fail "the player did not write LoadMedia at exit"
[ "$load_media" = 0 ] || fail "LoadMedia is $load_media after closing in the album, not 0"
step "passed"
