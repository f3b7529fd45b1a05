#!/usr/bin/env bash
# Windows Media types in the media panel of a portrait device, played by the device's media
# control in the panel's host window: an MP3, WAV, WMA, WMV, ASF, MP4 (H.264), 3GP (H.263) and
# M4V (MPEG-4), each written by ffmpeg, play to their ends, each heard in the null sink while
# it plays; an ASX list of two plays both under its own titles; the skin's buttons pause,
# play, change the volume and mute what the control plays; the end of a hosted item steps Now
# Playing to an AVI of the built-in engine and on to an MP3; a damaged WMV, an empty MP3 and a
# list of missing files end with the control's status text.
#
# Checks that depend on pixels or on the sound are marked "(pixels)" and "(sound)".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

host_class=CrvWMPHost
picture_class=CrvMediaControlVideo

step "prepare a portrait device with a file of every Windows Media type"
prepare_device portrait
media="$docs/Windows Media"
mkdir -p "$media"
ff() { ffmpeg -v error -y "$@" || fail "ffmpeg could not write ${*: -1}"; }
picture=(-f lavfi -i "testsrc=size=176x144:rate=15:duration=8")
sound=(-f lavfi -i "sine=f=440:d=8")
ff "${sound[@]}" -c:a libmp3lame -b:a 48k "$media/Song.mp3"
ff "${sound[@]}" -c:a pcm_s16le -ar 22050 "$media/Tone.wav"
ff "${sound[@]}" -c:a wmav2 -b:a 48k "$media/Voice.wma"
ff "${picture[@]}" "${sound[@]}" -c:v wmv2 -c:a wmav2 -b:a 48k "$media/Clip.wmv"
ff "${picture[@]}" "${sound[@]}" -c:v wmv1 -c:a wmav1 -b:a 48k -f asf "$media/Stream.asf"
ff "${picture[@]}" "${sound[@]}" -c:v libx264 -profile:v baseline -pix_fmt yuv420p -c:a aac "$media/Movie.mp4"
ff "${picture[@]}" "${sound[@]}" -c:v h263 -c:a aac -ar 16000 -ac 1 "$media/Phone.3gp"
ff "${picture[@]}" "${sound[@]}" -c:v mpeg4 -c:a aac -f mp4 "$media/Video.m4v"
for seconds in 8 60; do
  ff -f lavfi -i "testsrc=size=176x144:rate=15:duration=$seconds" -f lavfi -i "sine=f=440:d=$seconds" \
    -c:v wmv2 -c:a wmav2 -b:a 48k "$media/Clip $seconds s.wmv"
done
printf '<ASX version="3.0">\r\n<Title>Two</Title>\r\n<Entry><Title>First Song</Title><Ref href="Song.mp3"/></Entry>\r\n<ENTRY><TITLE>Second Clip</TITLE><REF HREF="Clip.wmv"/></ENTRY>\r\n</ASX>\r\n' \
  >"$media/Two.asx"
head -c 40000 /dev/urandom >"$media/Broken.wmv"
: >"$media/Empty.mp3"
printf '<asx><entry><ref href="Nowhere.wmv"/></entry><entry><ref href="Gone.mp3"/></entry></asx>' >"$media/Missing.asx"
# Now Playing: a hosted item, an AVI of the built-in engine, a hosted item again.
avi='\my documents\my videos\test pattern (motion jpeg).avi'
{
  printf '<HVPlaylist>'
  for item in '\my documents\windows media\clip 8 s.wmv:Clip 8 s' "$avi:Test Pattern (Motion JPEG)" \
              '\my documents\windows media\song.mp3:Song'; do
    printf '<media type="Video"><location>%s</location><title>%s</title></media>' "${item%%:*}" "${item#*:}"
  done
  printf '</HVPlaylist>'
} >"$media/Mixed.hvpl"
reg_set_dword "$crv_options_key" View 5
start_player --shape portrait
wait_class "$panel_class"

# hand FILE: the player is given "\My Documents\Windows Media\FILE", as a file tapped in the
# file explorer is.
hand() {
  "$device_sh" run --shape portrait -- "\\My Documents\\Windows Media\\$1" >>"$scn_home/run.log" 2>&1 ||
    fail "handing over $1 failed"
}
ended() { panel_state && [ "$p_status" = Stopped ] && [ "$p_time" = 00:00 ]; }

step "every type plays to its end in the panel"
for file in Song.mp3 Tone.wav Voice.wma Clip.wmv Stream.asf Movie.mp4 Phone.3gp Video.m4v; do
  name=${file%.*}
  hand "$file"
  within 15 title_is "$name" || fail "$file was not taken (title \"${p_title:-}\", status \"${p_status:-}\")"
  within 10 status_is Playing || fail "$file does not play (status \"$p_status\")"
  within 4 time_at_least 1 || fail "the time field does not run while $file plays (\"$p_time\")"
  sound_peak 1
  [ -z "$s_peak" ] || [ "$s_peak" -gt 1000 ] || fail "(sound) the null sink heard nothing of $file (peak $s_peak)"
  look "$host_class"
  case $file in
    *.mp3 | *.wav | *.wma) ;;
    *)
      # (pixels) the picture shows in the panel: the test pattern is not black.
      look "$picture_class"
      read -r vl vt vr vb <<<"$w_rect"
      shot "playing-${name}"
      [ "$(pixel "$shot" $(((vl + vr) / 2)) $(((vt + vb) / 2)))" != "0 0 0" ] ||
        fail "the picture of $file is black ($shot)"
      ;;
  esac
  within 10 ended || fail "$file did not come to its end (status \"$p_status\", time \"$p_time\")"
done

step "(sound) what the control plays reaches the null sink"
hand "Clip 60 s.wmv"
within 15 status_is Playing || fail "Clip 60 s.wmv does not play (status \"$p_status\")"
sound_peak 2
if [ -n "$s_peak" ]; then
  [ "$s_peak" -gt 1000 ] || fail "(sound) the null sink heard nothing while Clip 60 s.wmv played (peak $s_peak)"
else
  step "(sound) no sound server on this machine: the sound checks are skipped"
fi

step "the skin's buttons act on the control"
panel_state
shot long-clip-playing
tap_button $b_play
within 5 status_is Paused || fail "tapping pause did not pause the control (status \"$p_status\")"
paused_time=$p_time
sleep 1.5
panel_state
[ "$p_time" = "$paused_time" ] || fail "the time ran on while paused ($paused_time, then $p_time)"
tap_button $b_play
within 5 status_is Playing || fail "tapping play after the pause did not play (status \"$p_status\")"
within 4 time_at_least $(($(seconds_of "$paused_time") + 1)) || fail "playback did not go on after the pause ($p_time)"
expect_volume 75% "the volume at start"
tap_button $b_volume_down
expect_volume 70% "volume down"
tap_button $b_mute
expect_volume "70% muted" "mute"
sound_peak 2
[ -z "$s_peak" ] || [ "$s_peak" -lt 50 ] || fail "(sound) the control still sounds while muted (peak $s_peak)"
tap_button $b_mute
expect_volume 70% "mute off"
sound_peak 2
[ -z "$s_peak" ] || [ "$s_peak" -gt 1000 ] || fail "(sound) no sound after mute off (peak $s_peak)"

step "an ASX list plays its two items under their titles"
hand Two.asx
within 15 title_is "First Song" || fail "the list's first item did not come up as \"First Song\" (title \"$p_title\")"
within 10 status_is Playing || fail "the list's first item does not play (status \"$p_status\")"
within 15 title_is "Second Clip" || fail "the list did not go on to \"Second Clip\" (title \"$p_title\")"
within 5 status_is Playing || fail "the list's second item does not play (status \"$p_status\")"
within 15 ended || fail "the list did not end after its second item (status \"$p_status\")"

step "the end of a hosted item steps Now Playing to the built-in engine and back"
hand Mixed.hvpl
within 15 title_is "Clip 8 s" || fail "the mixed list did not start with its WMV (title \"$p_title\")"
within 10 status_is Playing || fail "the WMV does not play from the mixed list (status \"$p_status\")"
within 15 title_is "Test Pattern (Motion JPEG)" || fail "after the WMV the AVI did not come up (title \"$p_title\")"
within 10 status_is Playing || fail "the AVI does not play after the hosted item (status \"$p_status\")"
! probe windows "$host_class" 2>/dev/null | grep -q ' visible: 1 ' ||
  fail "the host window still shows while the built-in engine plays"
within 15 title_is Song || fail "after the AVI the MP3 did not come up (title \"$p_title\")"
within 10 status_is Playing || fail "the MP3 does not play after the AVI (status \"$p_status\")"

step "what cannot be played ends with the control's status text"
# The list tries its entries one after the other and ends on its last, "Gone".
for file in Broken.wmv:Broken Empty.mp3:Empty Missing.asx:Gone; do
  hand "${file%%:*}"
  within 15 title_is "${file#*:}" || fail "${file%%:*} ended under the title \"$p_title\", not \"${file#*:}\""
  within 10 status_is "Cannot play this file" || fail "${file%%:*} shows status \"$p_status\""
done

step "the player is still running"
look "$crv_frame_class"
