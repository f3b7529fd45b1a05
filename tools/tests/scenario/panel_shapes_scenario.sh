#!/usr/bin/env bash
# The media panel in all six screen shapes: the player started with the sample AVI plays it in
# the panel, whose skin fills the view area, with the video inside the skin's video area and
# the buttons drawn below it. One screenshot per shape ("panel-SHAPE.png").
#
# Checks that depend on pixels are marked "(pixels)".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

video_class=HALVREN_VIDEO_VIEW
movie='\My Documents\My Videos\Test Pattern (Motion JPEG).avi'

playing() {
  look "$panel_class"
  local text=${w_text//\\t/$tab}
  [ "${text%%$tab*}" = Playing ]
}

for shape in portrait portrait-vga landscape landscape-vga square square-vga; do
  step "$shape: the sample AVI plays in the panel"
  start_player --shape "$shape" "$movie"
  wait_class "$panel_class"
  within 20 playing || fail "$shape: the AVI does not play (panel text \"$w_text\")"
  read -r pl pt pr pb <<<"$w_rect"
  wait_class "$video_class"
  read -r vl vt vr vb <<<"$w_rect"
  [ "$vl" -ge "$pl" ] && [ "$vt" -ge "$pt" ] && [ "$vr" -le "$pr" ] && [ "$vb" -le "$pb" ] ||
    fail "$shape: the video ($w_rect) is not inside the panel ($pl $pt $pr $pb)"
  sleep 1
  shot "panel-$shape"
  # (pixels) A picture in the video area, and the skin's button row drawn (not the white of an
  # empty window) between the video and the panel's bottom.
  [ "$(pixel "$shot" $(((vl + vr) / 2)) $(((vt + vb) / 2)))" != "0 0 0" ] ||
    fail "$shape: the video area is black ($shot)"
  read -r r g b <<<"$(pixel "$shot" $(((pl + pr) / 2)) $((pb - 3)))"
  [ $((r + g + b)) -lt 700 ] || fail "$shape: no skin under the video ($r $g $b at the panel's bottom, $shot)"
  stop_device
done
