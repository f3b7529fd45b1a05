#!/usr/bin/env bash
# The library dialog in the three screen shapes (and their VGA forms): "Library..." from the
# media panel's menu opens it over the whole screen above its soft keys ("Play", "Menu"), with
# the header bar (the level and "Back") along its top and the list below filling the width;
# "Now Playing" opens it on the Now Playing list, whose soft-key menu offers the list's edits.
# Screenshots "library-SHAPE.png" and "now-playing-SHAPE.png".
#
# Checks that depend on pixels are marked "(pixels)".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

dialog_class='#32770'

for shape in portrait landscape square square-vga; do
  step "$shape: the library dialog fills the screen above its soft keys"
  prepare_device "$shape"
  reg_set_dword "$crv_options_key" View 5
  start_player --shape "$shape"
  wait_class "$panel_class"
  open_menu
  tap_menu "Library..."
  wait_class "$dialog_class" Library
  read -r dl dt dr db <<<"$w_rect"
  expect_soft_keys Play Menu
  look "$crv_menubar_class"
  read -r ml mt mr mb <<<"$w_rect"
  [ "$dl" = 0 ] && [ "$dr" = "$s_w" ] && [ "$db" = "$mt" ] ||
    fail "$shape: the dialog ($dl $dt $dr $db) does not fill the screen's width down to its soft keys (top $mt)"
  wait_class SysListView32
  read -r ll lt lr lb <<<"$w_rect"
  [ "$ll" = 0 ] && [ "$lr" = "$s_w" ] && [ "$lb" = "$db" ] || fail "$shape: the list ($w_rect) does not fill the dialog"
  wait_class Button Back
  read -r bl bt br bb <<<"$w_rect"
  [ "$br" -gt $((s_w - 8)) ] && [ "$bb" -le "$lt" ] || fail "$shape: \"Back\" ($w_rect) is not at the top right"
  sleep 0.5
  shot "library-$shape"
  # (pixels) the soft-key bar is drawn in front of the dialog: its dark colour, not the list's white.
  read -r r g b <<<"$(pixel "$shot" $((s_w / 2)) $(((mt + mb) / 2 + 4)))"
  [ $((r + g + b)) -lt 400 ] || fail "$shape: the soft-key bar is hidden ($r $g $b, $shot)"

  step "$shape: Now Playing"
  tap $((bl + 4)) $(((bt + bb) / 2))
  wait_gone "$dialog_class"
  soft_key left
  wait_class "$dialog_class" "Now Playing"
  open_menu
  for item in "Move Up" "Move Down" "Remove from Playlist" "Clear Now Playing" "Save as Playlist..."; do
    expect_menu_state "$item" 1 0
  done
  expect_menu_state "Library..." 0 0
  shot "now-playing-$shape"
  close_menus
  stop_device
done
step "passed"
