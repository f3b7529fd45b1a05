#!/usr/bin/env bash
# Writes the sample media of an emulated device into its "My Documents" folder:
#
#   device-media.sh DIR          e.g.  device-media.sh ~/.corvane-device/device/"My Documents"
#
# Only files that are missing are made, so running it again changes nothing and a sample the
# user deleted comes back on the next run. Everything is short and small (about two seconds
# to make it all):
#
#   My Documents\            pictures (JPEG, BMP, GIF, PNG, two-page TIFF, PCX, PGM, PPM),
#                            each colourful and labelled with its format and size, and
#                            "Sample Album.mab", an album of those pictures
#   My Documents\My Videos\  four-second clips: AVI (Motion JPEG + PCM), QuickTime (Sorenson
#                            Video 1 + IMA ADPCM, and H.263 + IMA ADPCM), MPEG-1 (+ MPEG audio),
#                            and "Sample Videos.hvpl" listing them
#   My Documents\My Music\   tones as MP3 (with title, artist and album tags) and WAV, and the
#                            playlists "Sample Music.hvpl" and "Sample Music.asx"
#
# Needs ffmpeg for the sound and video files and ImageMagick for the pictures; what cannot
# be made is reported and skipped (exit code 0 either way, 2 only for bad usage).
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: device-media.sh DIR" >&2
  exit 2
fi
docs=$1
mkdir -p "$docs/My Videos" "$docs/My Music"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/crv-media.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

made=0
skipped=()

# have REL: the sample at DIR/REL is already there.
have() { [ -e "$docs/$1" ]; }

# put REL: moves the finished file from the scratch folder into place (a half-written sample
# never appears in the device).
put() {
  mv -f "$tmp/out" "$docs/$1"
  made=$((made + 1))
}

# --- pictures ------------------------------------------------------------------------------
if command -v convert >/dev/null 2>&1; then
  # A font for the labels: ImageMagick's built-in default (Helvetica) is often not installed.
  font=$(convert -list font 2>/dev/null | awk '/^ *Font: /{print $2}' |
    grep -m1 -x -E 'DejaVu-Sans-Bold|DejaVu-Sans|Liberation-Sans-Bold|Liberation-Sans' || true)
  [ -n "$font" ] || font=$(convert -list font 2>/dev/null | awk '/^ *Font: /{print $2; exit}')

  # label TEXT POINTSIZE: the arguments that write TEXT in white with a black outline in the
  # middle of the picture (printed one a line; the text's blanks are kept as such).
  label() {
    local IFS=$'\n'
    printf '%s\n' -font "$font" -gravity center -pointsize "$2" \
      -fill black -stroke black -strokewidth 3 -annotate +0+0 "$1" \
      -fill white -stroke none -annotate +0+0 "$1"
  }

  # picture REL W H POINTSIZE ARGS...: a W x H picture drawn by the ImageMagick ARGS, with
  # the label "<FORMAT> <W>x<H>" in the middle.
  picture() {
    local rel=$1 w=$2 h=$3 pt=$4
    shift 4
    have "$rel" && return 0
    local ext=${rel##*.} kind
    kind=${ext^^}
    [ "$kind" = JPG ] && kind=JPEG
    local text=()
    [ -n "$font" ] && mapfile -t text < <(label "$kind ${w}x${h}" "$pt")
    # A PCX is written with a palette: ImageMagick's default there is four 8-bit planes (with
    # alpha), which the player does not read.
    [ "$ext" = pcx ] && text+=(-alpha off -type Palette)
    # ${fmt}: an explicit output format where the extension alone does not say enough.
    if convert -size "${w}x${h}" "$@" "${text[@]}" -depth 8 "${fmt:-}$tmp/out.$ext" 2>"$tmp/err"; then
      mv -f "$tmp/out.$ext" "$tmp/out"
      put "$rel"
    else
      skipped+=("$rel ($(head -c 200 "$tmp/err"))")
    fi
  }

  picture "Sunset.jpg" 640 480 40 gradient:'#ff8c00-#4b0082' -quality 85
  # (A version 3 bitmap, 24 bits: the kind every reader knows.)
  fmt=BMP3: picture "Corners.bmp" 240 320 24 xc: \
    -sparse-color barycentric '0,0 red 239,0 yellow 0,319 blue 239,319 lime' -type TrueColor
  picture "Rings.gif" 320 240 26 radial-gradient:'#ffff00-#c00060' -colors 64
  picture "Sky.png" 200 200 22 gradient:'#00c0ff-#003080' -fill '#ffffff80' -stroke none \
    -draw 'circle 60,60 60,30' -draw 'circle 140,130 140,110'
  picture "Stripes.pcx" 160 120 18 xc:'#00a000' -fill '#ffd000' \
    -draw 'rectangle 0,20 159,39' -draw 'rectangle 0,60 159,79' -draw 'rectangle 0,100 159,119'
  picture "Grey Ramp.pgm" 256 64 20 gradient:black-white -rotate 90 -resize 256x64! -colorspace Gray
  picture "Tiles.ppm" 160 160 20 pattern:checkerboard -fill '#3050ff' -opaque '#999999' \
    -fill '#ff5030' -opaque '#666666'

  # A TIFF with two pages of different sizes (page selection), PackBits-compressed (the player
  # refuses LZW, as the device's library does).
  if ! have "Two Pages.tif"; then
    page1=() page2=()
    if [ -n "$font" ]; then
      mapfile -t page1 < <(label 'TIFF page 1, 480x360' 28)
      mapfile -t page2 < <(label 'TIFF page 2' 18)
    fi
    if convert \
        \( -size 480x360 gradient:'#20c040-#002060' "${page1[@]}" \) \
        \( -size 160x120 xc:'#c02020' "${page2[@]}" \) \
        -depth 8 -compress RLE "$tmp/out.tif" 2>"$tmp/err"; then
      mv -f "$tmp/out.tif" "$tmp/out"
      put "Two Pages.tif"
    else
      skipped+=("Two Pages.tif ($(head -c 200 "$tmp/err"))")
    fi
  fi
else
  skipped+=("the pictures (ImageMagick's convert is missing)")
fi

# --- sound and video -----------------------------------------------------------------------
if command -v ffmpeg >/dev/null 2>&1; then
  # media REL FFMPEG-ARGS...: one ffmpeg run writing REL.
  media() {
    local rel=$1 ext=${1##*.}
    shift
    have "$rel" && return 0
    if ffmpeg -nostdin -hide_banner -loglevel error -y "$@" "$tmp/out.$ext" 2>"$tmp/err"; then
      mv -f "$tmp/out.$ext" "$tmp/out"
      put "$rel"
    else
      skipped+=("$rel ($(head -c 200 "$tmp/err"))")
    fi
  }
  # pattern W H RATE and tone HZ RATE: the lavfi inputs, four seconds each.
  pattern() { echo "testsrc=size=$1x$2:rate=$3:duration=4"; }
  tone() { echo "sine=frequency=$1:sample_rate=$2:duration=4"; }

  media "My Videos/Test Pattern (Motion JPEG).avi" \
    -f lavfi -i "$(pattern 176 144 15)" -f lavfi -i "$(tone 440 22050)" \
    -c:v mjpeg -q:v 6 -pix_fmt yuvj420p -c:a pcm_s16le -ac 1
  media "My Videos/Test Pattern (Sorenson).mov" \
    -f lavfi -i "$(pattern 160 120 15)" -f lavfi -i "$(tone 660 22050)" \
    -c:v svq1 -c:a adpcm_ima_qt -ac 1
  media "My Videos/Test Pattern (H.263).mov" \
    -f lavfi -i "$(pattern 176 144 15)" -f lavfi -i "$(tone 550 22050)" \
    -c:v h263 -c:a adpcm_ima_qt -ac 1
  media "My Videos/Test Pattern (MPEG-1).mpg" \
    -f lavfi -i "$(pattern 160 120 25)" -f lavfi -i "$(tone 880 44100)" \
    -c:v mpeg1video -b:v 300k -c:a mp2 -b:a 64k -ac 1 -f mpeg

  # music TITLE HZ EXT ARGS...: a tone with tags.
  music() {
    local title=$1 hz=$2 ext=$3
    shift 3
    media "My Music/$title.$ext" -f lavfi -i "sine=frequency=$hz:sample_rate=44100:duration=5" \
      -ac 1 -metadata title="$title" -metadata artist="Corvane Samples" \
      -metadata album="Test Tones" -metadata genre="Test" "$@"
  }
  music "Tone A 440 Hz" 440 mp3 -c:a libmp3lame -b:a 64k
  music "Tone E 659 Hz" 659 mp3 -c:a libmp3lame -b:a 64k
  music "Tone C 523 Hz" 523 wav -c:a pcm_s16le -ar 22050
else
  skipped+=("the videos and music (ffmpeg is missing)")
fi

# --- playlists -----------------------------------------------------------------------------
# The player's own playlist: one "media" element per entry with the seven fields, locations
# as device paths in lower case, titles from the file names.
# hvpl REL TYPE FILE...: FILE relative to DIR.
hvpl() {
  local rel=$1 type=$2
  shift 2
  have "$rel" && return 0
  {
    printf '<HVPlaylist>'
    local f name location
    for f in "$@"; do
      [ -e "$docs/$f" ] || continue
      name=${f##*/}
      location="\\My Documents\\${f//\//\\}"
      printf '<media type="%s"><location>%s</location><title>%s</title>' "$type" \
        "${location,,}" "${name%.*}"
      printf '<artist>Corvane Samples</artist><album>Test Tones</album><genre>Test</genre>'
      printf '<contrast>0</contrast><brightness>0</brightness></media>'
    done
    printf '</HVPlaylist>'
  } >"$tmp/out"
  put "$rel"
}
hvpl "My Music/Sample Music.hvpl" Music \
  "My Music/Tone A 440 Hz.mp3" "My Music/Tone C 523 Hz.wav" "My Music/Tone E 659 Hz.mp3"
hvpl "My Videos/Sample Videos.hvpl" Video \
  "My Videos/Test Pattern (Motion JPEG).avi" "My Videos/Test Pattern (Sorenson).mov" \
  "My Videos/Test Pattern (H.263).mov" "My Videos/Test Pattern (MPEG-1).mpg"

# The same music as a Windows Media playlist (played by the hosted media player).
if ! have "My Music/Sample Music.asx"; then
  {
    printf '<asx version="3.0">\r\n  <title>Sample Music</title>\r\n'
    for f in "Tone A 440 Hz.mp3" "Tone C 523 Hz.wav" "Tone E 659 Hz.mp3"; do
      [ -e "$docs/My Music/$f" ] || continue
      printf '  <entry><title>%s</title><ref href="\\My Documents\\My Music\\%s"/></entry>\r\n' \
        "${f%.*}" "$f"
    done
    printf '</asx>\r\n'
  } >"$tmp/out"
  put "My Music/Sample Music.asx"
fi

# --- album ---------------------------------------------------------------------------------
# "Sample Album.mab": magic "RAB 100", item count, options 0, the album folder
# "\My Documents", no album sound; per picture its bare name, no sound, the 332-byte record
# (width, height, bits, view state not set yet, zoom 1.0, size and write time of the file)
# and no thumbnail (the album makes the thumbnails when it is first shown).
if ! have "Sample Album.mab" && command -v perl >/dev/null 2>&1; then
  album=()
  for f in "Sunset.jpg:640:480:24" "Corners.bmp:240:320:24" "Rings.gif:320:240:8" \
           "Sky.png:200:200:24" "Two Pages.tif:480:360:24" "Stripes.pcx:160:120:8" \
           "Tiles.ppm:160:160:24" "Grey Ramp.pgm:256:64:8"; do
    [ -e "$docs/${f%%:*}" ] && album+=("$f")
  done
  if [ ${#album[@]} -gt 0 ]; then
    perl -e '
      use strict;
      my ($dir, @items) = @ARGV;
      sub counted { my @c = unpack("U*", $_[0]); return pack("V v*", 2 * @c, @c); }
      my $out = "RAB 100" . pack("V V", scalar @items, 0)
              . counted("\\My Documents") . counted("");
      for my $item (@items) {
        my ($name, $w, $h, $bits) = split /:/, $item;
        my @st = stat("$dir/$name");
        my $filetime = ($st[9] + 11644473600) * 10000000;
        my $fixed = pack("V V C x v x8 V f< V V V V V", $w, $h, $bits, 0, 255, 1.0, 0, 0,
                         $st[7], $filetime & 0xffffffff, int($filetime / 4294967296));
        $fixed .= "\0" x (332 - length $fixed);
        $out .= counted($name) . counted("") . $fixed . pack("V", 0);
      }
      open(my $fh, ">:raw", "$dir/.album.tmp") or die "$!";
      print $fh $out;
      close($fh) or die "$!";
      rename("$dir/.album.tmp", "$dir/Sample Album.mab") or die "$!";
    ' "$docs" "${album[@]}"
    made=$((made + 1))
  fi
fi

if [ "$made" -gt 0 ]; then
  echo "device-media.sh: made $made sample file(s) in $docs"
fi
for s in ${skipped[@]+"${skipped[@]}"}; do
  echo "device-media.sh: skipped $s" >&2
done
exit 0
