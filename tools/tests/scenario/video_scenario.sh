#!/usr/bin/env bash
# Videos in the media panel of a portrait device: "Sample Videos.hvpl" handed to the player
# plays its four clips (AVI Motion JPEG + PCM, QuickTime Sorenson and H.263 with IMA 4:1,
# MPEG-1) one after the other to their ends; the skin's buttons pause and play, step through
# Now Playing and change the volume and mute; dragging the seek thumb to the middle of a
# 30-second AVI continues from there; corrupt ".avi" and ".mpg" files show "Loading error".
#
# Checks that depend on pixels are marked "(pixels)".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

video_class=HALVREN_VIDEO_VIEW

step "prepare a portrait device with a 30-second AVI and two corrupt files"
prepare_device portrait
videos="$docs/My Videos"
# The hue turns once round the circle in 30 s, so the colour tells the position.
ffmpeg -v error -y -f lavfi -i "color=c=red:s=160x120:r=15:d=30,hue=H=2*PI*t/30" -f lavfi -i "sine=f=440:d=30" \
  -c:v mjpeg -q:v 3 -c:a pcm_s16le -ar 22050 -ac 1 "$videos/Hue Circle.avi" || fail "ffmpeg could not write the 30-second AVI"
head -c 30000 /dev/urandom >"$videos/Broken Movie.avi"
{ printf '\x00\x00\x01\xba'; head -c 20000 /dev/urandom; } >"$videos/Broken Stream.mpg"
reg_set_dword "$crv_options_key" View 5
start_player --shape portrait
wait_class "$panel_class"
expect_soft_keys "Now Playing" Menu

step "the sample playlist plays its four clips to their ends, one after the other"
"$device_sh" run --shape portrait -- "\\My Documents\\My Videos\\Sample Videos.hvpl" >>"$scn_home/run.log" 2>&1 ||
  fail "handing over the playlist failed"
for title in "Test Pattern (Motion JPEG)" "Test Pattern (Sorenson)" "Test Pattern (H.263)" "Test Pattern (MPEG-1)"; do
  within 20 title_is "$title" || fail "\"$title\" did not come up (title \"${p_title:-}\", status \"${p_status:-}\")"
  within 10 status_is Playing || fail "\"$title\" does not play (status \"$p_status\")"
  wait_class "$video_class"
  shot "playing-${title//[^A-Za-z0-9]/}"
  # (pixels) the video shows a picture, not black.
  read -r vl vt vr vb <<<"$w_rect"
  [ "$(pixel "$shot" $(((vl + vr) / 2)) $(((vt + vb) / 2)))" != "0 0 0" ] ||
    fail "the video area is black while \"$title\" plays ($shot)"
  within 3 time_at_least 1 || [ "$title" = "Test Pattern (MPEG-1)" ] ||
    fail "the time field does not run while \"$title\" plays (\"$p_time\")"
done
# The last clip ends; with Repeat off the list stops at its first entry.
within 20 title_is "Test Pattern (Motion JPEG)" || fail "after the last clip the list did not go back to its first entry"
within 10 status_is Ready || fail "the list did not stop at its first clip after its last (status \"$p_status\")"

step "next and previous with the skin's buttons"
# The clips last four seconds, so the steps are taken while a clip is loaded but not playing,
# or just after it started: a clip that ends on its own would step the list by itself.
panel_state
button_centre $b_next
tap "$bx" "$by"
within 10 title_is "Test Pattern (Sorenson)" || fail "next did not step to the second clip (title \"$p_title\")"
within 5 status_is Ready || fail "next from a stopped clip started playing (status \"$p_status\")"
button_centre $b_play
tap "$bx" "$by"
sleep 0.5
button_centre $b_previous
tap "$bx" "$by"
within 10 title_is "Test Pattern (Motion JPEG)" || fail "previous did not step back (title \"$p_title\")"

step "volume down, up and mute"
expect_volume 75% "the volume at start"
tap_button $b_volume_down
expect_volume 70% "volume down"
tap_button $b_volume_up
tap_button $b_volume_up
expect_volume 80% "two steps up"
tap_button $b_mute
expect_volume "80% muted" "mute"
tap_button $b_mute
expect_volume 80% "mute off"

step "a corrupt AVI and a corrupt MPEG show \"Loading error\""
for broken in "Broken Movie.avi" "Broken Stream.mpg"; do
  "$device_sh" run --shape portrait -- "\\My Documents\\My Videos\\$broken" >>"$scn_home/run.log" 2>&1 ||
    fail "handing over $broken failed"
  within 15 title_is "${broken%.*}" || fail "$broken was not taken (title \"$p_title\")"
  within 10 status_is "Loading error" || fail "$broken shows status \"$p_status\", not \"Loading error\""
done

step "the seek thumb dragged to the middle of a 30-second AVI continues from there"
"$device_sh" run --shape portrait -- "\\My Documents\\My Videos\\Hue Circle.avi" >>"$scn_home/run.log" 2>&1 ||
  fail "handing over the 30-second AVI failed"
within 15 status_is Playing || fail "the 30-second AVI does not play (status \"$p_status\")"

step "full screen from the skin's button, back with a tap on the video"
panel_state
button_centre $b_full_screen
tap "$bx" "$by"
full_screen() { look "$video_class" && [ "$w_rect" = "0 0 $s_w $s_h" ]; }
within 5 full_screen || fail "the video does not fill the screen after the full-screen button ($w_rect)"
shot full-screen
tap $((s_w / 2)) $((s_h / 2))
back_in_panel() { look "$video_class" && [ "$w_rect" != "0 0 $s_w $s_h" ]; }
within 5 back_in_panel || fail "a tap on the full-screen video did not bring the panel back"
expect_soft_keys "Now Playing" Menu
within 5 status_is Playing || fail "the video stopped playing in full screen (status \"$p_status\")"
panel_state
read -r pl pt _ _ <<<"$p_rect"
# From the thumb at the bar's start to the bar's middle (the thumb centres on the stylus).
drag $((pl + 55)) $((pt + 211)) $((pl + 123)) $((pt + 211)) 12
within 4 time_at_least 14 || fail "after the drag the time shows $p_time, not about 00:15"
seek_time=$(seconds_of "$p_time")
[ "$seek_time" -le 17 ] || fail "after the drag the time shows $p_time, beyond the middle"
within 5 time_at_least $((seek_time + 2)) || fail "playback did not go on after the seek (time $p_time)"
# (pixels) The hue of the picture turns 12 degrees a second from red: the frame shown is the
# one of the time shown (within two seconds), not one from the start.
look "$video_class"
read -r vl vt vr vb <<<"$w_rect"
shot seeked
panel_state
shown=$(seconds_of "$p_time")
read -r r g b <<<"$(pixel "$shot" $(((vl + vr) / 2)) $(((vt + vb) / 2)))"
hue=$(awk -v r="$r" -v g="$g" -v b="$b" 'BEGIN {
  mx = r; if (g > mx) mx = g; if (b > mx) mx = b; mn = r; if (g < mn) mn = g; if (b < mn) mn = b
  if (mx == mn) { print -1; exit }
  if (mx == r) h = 60 * (g - b) / (mx - mn); else if (mx == g) h = 120 + 60 * (b - r) / (mx - mn); else h = 240 + 60 * (r - g) / (mx - mn)
  if (h < 0) h += 360; printf "%d\n", h }')
# (pixels) The fitted picture is narrower than the view: the bands beside it are black, with
# nothing left over from the full-screen pictures before.
for x in $((vl + 3)) $((vr - 4)); do
  [ "$(pixel "$shot" "$x" $(((vt + vb) / 2)))" = "0 0 0" ] ||
    fail "beside the picture at x $x the view is not black after full screen ($shot)"
done
off=$(((hue - 12 * shown + 540) % 360 - 180))
[ "$hue" -ge 0 ] && [ "${off#-}" -le 30 ] ||
  fail "the frame after the seek has hue $hue ($r $g $b), not about $((12 * shown % 360)) for $p_time ($shot)"

step "pause and play again with the skin's button go on from the paused picture"
panel_state
button_centre $b_play
tap "$bx" "$by"
within 5 status_is Stopped || fail "tapping pause did not pause (status \"$p_status\")"
paused_time=$p_time
sleep 1
panel_state
[ "$p_time" = "$paused_time" ] || fail "the time ran on while paused ($paused_time, then $p_time)"
tap "$bx" "$by"
within 5 status_is Playing || fail "tapping play after the pause did not play (status \"$p_status\")"
paused=$(seconds_of "$paused_time")
within 3 time_at_least $((paused + 1)) || fail "playback did not continue from the paused time ($paused_time, now $p_time)"

step "the player is still running"
look "$crv_frame_class"
