# shellcheck shell=bash disable=SC2034  # (the variables set here are for the scenarios)
# Sourced by the scenario tests (tools/tests/scenario/*_scenario.sh): each runs the player on a
# throw-away emulated device, drives it with real X input on the device screen and checks what
# it shows through its windows (crvprobe), the device registry and pixels of screenshots.
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#   prepare_device portrait
#   reg_set_dword "$crv_options_key" View 0
#   start_player                    # or: start_player '\My Documents\Sunset.jpg'
#   wait_class HALVREN_ALBUM_VIEW
#   tap 40 60; key Return; shot after-return; expect_pixel "$shot" 10 40 255 255 255 8
#
# Coordinates are device screen pixels, (0, 0) at the top left of the screen, as crvprobe
# reports window rectangles. Every wait is bounded. Sourcing makes the device's folder and sets
# the clean-up; it starts nothing.
#
# Environment: CRV_BUILD_DIR, the Windows build to install (default build/win; never built
# here: CRV_SKIP_BUILD=1 is set for the launcher); CRV_SCENARIO_KEEP=1 keeps the device, the
# screenshots and the logs (a failed scenario always keeps its screenshots and logs).
set -euo pipefail

scn_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
scn_name=${0##*/}
scn_name=${scn_name%.sh}
device_sh=$scn_root/tools/device.sh
# shellcheck source=../../wine-common.sh
. "$scn_root/tools/wine-common.sh"

crv_options_key='Software\Halvren\Corvane Cinema\Options'
# The classes of the player's windows and of the shell stand-ins around them.
crv_frame_class=CORVANE_PICVIEW_CLASS
crv_menubar_class=menu_worker
crv_navbar_class=HHTaskBar

scn_build_dir=${CRV_BUILD_DIR:-build/win}
case $scn_build_dir in
  /*) ;;
  *) if [ -d "$scn_build_dir" ]; then scn_build_dir=$(cd "$scn_build_dir" && pwd); else scn_build_dir=$scn_root/$scn_build_dir; fi ;;
esac

step() { echo "$scn_name: $*"; }

scn_home=''
desk=''
shot=''

# fail MESSAGE: says what went wrong, with the end of the logs, the windows on the screen and
# a screenshot of it, and ends the scenario.
fail() {
  echo "$scn_name: FAIL: $*" >&2
  local f
  for f in "${scn_home:-/nonexistent}"/*.log "${CRV_DEVICE_HOME:-/nonexistent}"/logs/*.log; do
    [ -s "$f" ] || continue
    echo "--- ${f##*/} (last lines)" >&2
    tail -n 15 "$f" >&2
  done
  if [ -n "$desk" ]; then
    echo "--- visible windows" >&2
    timeout 60 "$device_sh" probe windows 2>/dev/null | grep ' visible: 1 ' >&2 || true
    if "$device_sh" screenshot "$scn_home/shots/failure.png" >/dev/null 2>&1; then
      echo "$scn_name: the screen at the failure: $scn_home/shots/failure.png" >&2
    fi
  fi
  [ -z "$shot" ] || echo "$scn_name: the last screenshot: $shot" >&2
  exit 1
}

for scn_tool in xdotool xwininfo convert compare od awk; do
  command -v "$scn_tool" >/dev/null 2>&1 || fail "'$scn_tool' is missing (tools/install-packages.sh)"
done
[ -f "$scn_build_dir/bin/CRV.exe" ] || fail "no Windows build at $scn_build_dir (bin/CRV.exe); set CRV_BUILD_DIR"
[ -f "$scn_build_dir/bin/crvprobe.exe" ] || fail "$scn_build_dir/bin has no crvprobe.exe (tools/crvprobe)"

scn_home=$(mktemp -d "${TMPDIR:-/tmp}/crv-$scn_name.XXXXXX")
mkdir -p "$scn_home/shots"
export CRV_DEVICE_HOME=$scn_home/dev CRV_BUILD_DIR=$scn_build_dir CRV_SKIP_BUILD=1
# The device's own X server: nothing shows on a desktop and none is needed.
unset DISPLAY
docs=$CRV_DEVICE_HOME/device/My\ Documents

scn_cleanup() {
  local rc=$?
  "$device_sh" stop >/dev/null 2>&1 || true
  if [ "${CRV_SCENARIO_KEEP:-0}" = 1 ]; then
    echo "$scn_name: kept the device in $CRV_DEVICE_HOME, the screenshots in $scn_home/shots"
  elif [ "$rc" -ne 0 ]; then
    # What helps to see what went wrong stays; the prefix and the installed build go.
    rm -rf "$CRV_DEVICE_HOME/prefix" "$CRV_DEVICE_HOME/device/Program Files"
    echo "$scn_name: kept the screenshots and logs in $scn_home" >&2
  else
    rm -rf "$scn_home"
  fi
}
trap scn_cleanup EXIT
# A signal ends the scenario through the exit trap, so the device is stopped.
trap 'exit 130' INT TERM HUP

# --- the device ---------------------------------------------------------------------------
s_shape=portrait

# prepare_device [SHAPE]: makes the device (default portrait) without starting anything, so
# that a scenario can set up files and registry values first.
prepare_device() {
  s_shape=${1:-$s_shape}
  "$device_sh" prepare --shape "$s_shape" >>"$scn_home/prepare.log" 2>&1 ||
    fail "tools/device.sh prepare --shape $s_shape failed"
}

# reg_set_dword KEY VALUE N: a DWORD under HKEY_LOCAL_MACHINE of the device.
reg_set_dword() {
  "$device_sh" shell "$CRV_WINE" reg add "HKEY_LOCAL_MACHINE\\$1" /v "$2" /t REG_DWORD /d "$3" /f \
    >>"$scn_home/reg.log" 2>&1 || fail "writing $1\\$2 = $3 failed"
}

# reg_value KEY VALUE: prints a value under HKEY_LOCAL_MACHINE of the device (a DWORD in
# decimal, a string as it is); returns 1 when there is none.
reg_value() {
  local out='' try
  # A probe that starts while the Wine server of the one before is still going away can fail
  # to start: a value that is there is asked for again.
  for try in 1 2 3; do
    out=$("$device_sh" probe reg "$1" "$2" 2>/dev/null) && break
    out=''
    [ "$try" = 3 ] || sleep 1
  done
  [ -n "$out" ] || return 1
  sed -n 's/^value: //p' <<<"$out"
}

# start_player [--shape S] [ARGS...]: starts the player (with ARGS, e.g. a file, as its
# command line) and finds the device screen. Returns once the player's window shows.
start_player() {
  if [ "${1:-}" = --shape ]; then
    s_shape=$2
    shift 2
  fi
  prepare_device "$s_shape"
  "$device_sh" run --shape "$s_shape" -- "$@" >>"$scn_home/run.log" 2>&1 ||
    fail "tools/device.sh run failed"
  find_screen
}

# find_screen: sets DISPLAY, desk (the X window of the device screen), s_w and s_h (its size)
# and s_dpi.
find_screen() {
  local status deadline=$((SECONDS + 10))
  desk='' s_touched=0
  while [ -z "$desk" ]; do
    status=$("$device_sh" status 2>/dev/null || true)
    desk=$(sed -n 's/^screen: *window \(0x[0-9a-f]*\).*/\1/p' <<<"$status")
    [ -n "$desk" ] || [ $SECONDS -lt $deadline ] || fail "the device screen did not show"
    [ -n "$desk" ] || sleep 0.5
  done
  export DISPLAY
  DISPLAY=$(sed -n 's/^display: *\(:[0-9]*\).*/\1/p' <<<"$status")
  read -r s_w s_h < <(xwininfo -id "$desk" | awk '/^ *Width:/{w=$2} /^ *Height:/{h=$2} END{print w, h}')
  # The launcher's shapes: the VGA ones have 192 dpi, the others 96.
  case $s_shape in *-vga) s_dpi=192 ;; *) s_dpi=96 ;; esac
}

# stop_device: closes the player as the device's user would (it saves its settings).
stop_device() {
  "$device_sh" stop >>"$scn_home/stop.log" 2>&1 || fail "tools/device.sh stop failed"
  desk=''
}

# scaled N: N pixels at 96 dpi on this screen (as the shell stand-ins scale theirs).
scaled() { echo $((($1 * s_dpi + 48) / 96)); }

# --- windows ------------------------------------------------------------------------------
# probe ARGS...: crvprobe on the device (its own waits are shorter than this bound).
probe() { timeout 120 "$device_sh" probe "$@"; }

# parse_window LINE: a crvprobe window line into w_hwnd, w_class, w_visible, w_enabled,
# w_rect and w_client ("L T R B"), w_cl w_ct w_cw w_ch (client origin and size) and w_text
# (still escaped, as crvprobe prints it).
parse_window() {
  local n='(-?[0-9]+)' re
  re="^window: (0x[0-9a-f]+) parent: 0x[0-9a-f]+ owner: 0x[0-9a-f]+ pid: [0-9]+ class: \"((\\\\.|[^\"\\\\])*)\""
  re+=" visible: ([01]) enabled: ([01]) rect: ($n $n $n $n) client: $n $n $n $n text: \"(.*)\"\$"
  [[ $1 =~ $re ]] || return 1
  w_hwnd=${BASH_REMATCH[1]} w_class=${BASH_REMATCH[2]} w_visible=${BASH_REMATCH[4]}
  w_enabled=${BASH_REMATCH[5]} w_rect=${BASH_REMATCH[6]} w_text=${BASH_REMATCH[15]}
  w_cl=${BASH_REMATCH[11]} w_ct=${BASH_REMATCH[12]}
  w_cw=$((BASH_REMATCH[13] - BASH_REMATCH[11])) w_ch=$((BASH_REMATCH[14] - BASH_REMATCH[12]))
  w_client="${BASH_REMATCH[11]} ${BASH_REMATCH[12]} ${BASH_REMATCH[13]} ${BASH_REMATCH[14]}"
}

# look CLASS: the first visible window of CLASS into the w_* variables (see parse_window).
look() {
  local out line
  out=$(probe windows "$1" 2>/dev/null) || true
  line=$(grep -m1 ' visible: 1 ' <<<"$out") || fail "no visible $1 window"
  parse_window "$line" || fail "crvprobe printed an unexpected line: $line"
}

# wait_class CLASS [TEXT [SECONDS]]: waits for a visible window of CLASS (with exactly TEXT,
# unless TEXT is empty) and puts it into the w_* variables.
wait_class() {
  local line
  line=$(probe wait "$1" "${2:-}" "${3:-20}" 2>>"$scn_home/probe.log") || fail "no visible $1 window${2:+ \"$2\"} after ${3:-20} s"
  parse_window "$line" || fail "crvprobe printed an unexpected line: $line"
}

# wait_gone CLASS [SECONDS]: waits until no window of CLASS is visible.
wait_gone() {
  probe wait-gone "$1" "${2:-20}" >/dev/null 2>>"$scn_home/probe.log" || fail "the $1 window is still there after ${2:-20} s"
}

# soft_keys: the texts of the soft keys on the shown soft-key bar, "LEFT|RIGHT" (the bar
# publishes them, tab-separated, as its window text).
soft_keys() {
  look "$crv_menubar_class"
  echo "${w_text//\\t/|}"
}

# expect_soft_keys LEFT RIGHT
expect_soft_keys() {
  local keys
  keys=$(soft_keys)
  [ "$keys" = "$1|$2" ] ||
    fail "the soft keys are \"${keys:-(the bar has no window text)}\", not \"$1|$2\""
}

# soft_key left|right: taps that soft key.
soft_key() {
  look "$crv_menubar_class"
  local l t r b
  read -r l t r b <<<"$w_rect"
  case $1 in
    left) tap $((l + (r - l) / 4)) $(((t + b) / 2)) ;;
    right) tap $((l + 3 * (r - l) / 4)) $(((t + b) / 2)) ;;
    *) fail "soft_key: no key '$1'" ;;
  esac
}

# done_button: taps the Done ("ok") button at the right end of the navigation bar.
# (Its place is the shell stand-in's: 28 x 20 pixels at 96 dpi, 2 from the right edge.)
done_button() {
  look "$crv_navbar_class"
  local l t r b
  read -r l t r b <<<"$w_rect"
  tap $((r - $(scaled 16))) $(((t + b) / 2))
}

# --- input (X events on the device screen) ------------------------------------------------
# Wine takes a moment to turn X input into window messages and to repaint.
settle() { sleep 0.4; }

xdo() { xdotool "$@" >/dev/null 2>&1 || fail "xdotool $* failed"; }

# Whether the stylus has touched the screen yet (see first_touch).
s_touched=0

# tap X Y: a stylus tap.
tap() {
  xdo mousemove --window "$desk" "$1" "$2" sleep 0.1 click 1
  s_touched=1
  settle
}

# first_touch: Wine's virtual desktop passes keys on to the programs only once the screen has
# been clicked (its own focus state is right before that, the keys just go nowhere), so before
# the first key a tap on the navigation bar's title, where a tap does nothing.
first_touch() {
  [ "$s_touched" = 0 ] || return 0
  local l t r b
  look "$crv_navbar_class"
  read -r l t r b <<<"$w_rect"
  tap $((l + (r - l) / 4)) $(((t + b) / 2))
}

# hold X Y MS: the stylus pressed for MS milliseconds (tap-and-hold).
hold() {
  xdo mousemove --window "$desk" "$1" "$2" sleep 0.1 mousedown 1 sleep "$(awk -v ms="$3" 'BEGIN{print ms / 1000}')" mouseup 1
  s_touched=1
  settle
}

# drag X1 Y1 X2 Y2 [STEPS]: press at the first point, move in STEPS (default 10) even steps to
# the second, lift.
drag() {
  local steps=${5:-10} i args=()
  args=(mousemove --window "$desk" "$1" "$2" sleep 0.1 mousedown 1)
  for ((i = 1; i <= steps; i++)); do
    args+=(sleep 0.03 mousemove --window "$desk" $(($1 + ($3 - $1) * i / steps)) $(($2 + ($4 - $2) * i / steps)))
  done
  args+=(sleep 0.1 mouseup 1)
  xdo "${args[@]}"
  s_touched=1
  settle
}

# key NAME...: keys pressed on the device (xdotool names: Return, Right, Escape, ctrl+c).
key() {
  first_touch
  # Keys go to the X window with the focus: the device screen's.
  xdotool windowfocus "$desk" >/dev/null 2>&1 || true
  xdo key --delay 80 "$@"
  settle
}

# type_text TEXT: types TEXT on the device's keyboard (into the control with the focus).
type_text() {
  first_touch
  xdotool windowfocus "$desk" >/dev/null 2>&1 || true
  xdo type --delay 60 -- "$1"
  settle
}

# --- screenshots and pixels ---------------------------------------------------------------
# shot NAME: saves the device screen as NAME.png in the scenario's screenshots; sets $shot.
shot() {
  shot=$scn_home/shots/$1.png
  "$device_sh" screenshot "$shot" >/dev/null 2>>"$scn_home/screenshot.log" || fail "taking screenshot $1 failed"
}

# pixel FILE X Y: prints "R G B".
pixel() {
  local rgb r g b
  rgb=$(convert "$1[1x1+$2+$3]" -alpha off -depth 8 rgb:- | od -An -v -tu1) || fail "reading pixel $2,$3 of $1 failed"
  read -r r g b <<<"$rgb"
  [ -n "${b:-}" ] || fail "pixel $2,$3 is outside $1"
  echo "$r $g $b"
}

# near "R G B" "R G B" TOL: every channel within TOL.
near() {
  local a b
  read -ra a <<<"$1"
  read -ra b <<<"$2"
  local i d
  for i in 0 1 2; do
    d=$((a[i] - b[i]))
    [ "${d#-}" -le "$3" ] || return 1
  done
}

# expect_pixel FILE X Y R G B TOL
expect_pixel() {
  local got
  got=$(pixel "$1" "$2" "$3")
  near "$got" "$4 $5 $6" "$7" || fail "pixel $2,$3 of $1 is $got, not $4 $5 $6 (within $7)"
}

# region_stats FILE X Y W H TOL R G B [R1 G1 B1 TOP HEIGHT]: of the pixels in the rectangle,
# those that differ by more than TOL in some channel from the background: prints "COUNT TOTAL
# R G B", their count, the number of pixels and their mean colour. The background is the
# colour R G B, or with the further values a vertical gradient from R G B at screen row TOP to
# R1 G1 B1 at row TOP + HEIGHT - 1. The rectangle must lie inside the picture.
region_stats() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 tol=$6 out
  shift 6
  out=$(convert "${file}[${w}x${h}+${x}+${y}]" +repage -alpha off -depth 8 rgb:- | od -An -v -tu1 -w3 |
    awk -v w="$w" -v y0="$y" -v tol="$tol" -v bg="$*" '
      function off(v, e) { return v - e > tol || e - v > tol }
      BEGIN {
        n = split(bg, c, " ")
        if (n < 8) { c[4] = c[1]; c[5] = c[2]; c[6] = c[3]; c[7] = 0; c[8] = 2 } else { c[7] = c[7] + 0; c[8] = c[8] + 0 }
        span = c[8] > 1 ? c[8] - 1 : 1
      }
      {
        f = (y0 + int((NR - 1) / w) - c[7]) / span
        if (off($1, c[1] + (c[4] - c[1]) * f) || off($2, c[2] + (c[5] - c[2]) * f) || off($3, c[3] + (c[6] - c[3]) * f)) {
          k++; r += $1; g += $2; b += $3
        }
      }
      END { if (k) printf "%d %d %d %d %d\n", k, NR, r / k, g / k, b / k; else printf "0 %d 0 0 0\n", NR }')
  local total
  read -r _ total _ <<<"$out"
  [ "$total" = $((w * h)) ] || fail "region ${w}x${h}+$x+$y is not inside $file"
  echo "$out"
}

# differing FILE1 FILE2 X Y W H: how many pixels of the rectangle differ by more than 10%.
differing() {
  local geometry="[${5}x${6}+${3}+${4}]" out
  out=$(compare -metric AE -fuzz 10% "$1$geometry" "$2$geometry" null: 2>&1 >/dev/null || true)
  awk '{printf "%d\n", $1}' <<<"$out"
}

# picture_colour FILE: the mean colour of a picture file (its first page), "R G B".
picture_colour() {
  local rgb
  rgb=$(convert "$1[0]" -alpha off -scale '1x1!' -depth 8 rgb:- | od -An -v -tu1) ||
    fail "reading the picture $1 failed"
  echo "$rgb" | awk '{print $1, $2, $3}'
}

# area_colour FILE X Y W H: the mean colour of the rectangle, "R G B".
area_colour() {
  local rgb
  rgb=$(convert "$1[${4}x${5}+${2}+${3}]" +repage -alpha off -scale '1x1!' -depth 8 rgb:- | od -An -v -tu1) ||
    fail "reading ${4}x${5}+$2+$3 of $1 failed"
  echo "$rgb" | awk '{print $1, $2, $3}'
}

# within SECONDS CMD [ARGS...]: runs CMD every half second until it succeeds; returns 1 when
# SECONDS have passed first.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.5
  done
}

# --- the album view's grid ----------------------------------------------------------------
# The grid: 3 columns and 4 rows on a portrait screen, 4 x 3 on a landscape one, 3 x 3 on a
# square one, 2 pixels between cells, cell = client size / columns (rows) - 2, while every
# item fits (no scroll bar). The background is a vertical gradient from white to 174 224 255
# over the view. A scenario that turns the file names off sets g_name=0.

# album_items: the pictures an album of "\My Documents" holds, in its name order, one a line
# (the files whose extension the built-in image readers take).
album_items() {
  find "$docs" -maxdepth 1 -type f -printf '%f\n' |
    grep -iE '\.(2bp|bmp|img|jpg|jpe|jpeg|gif|tif|tiff|cfx|pcx|pcd|raw|pgm|ppm)$' | LC_ALL=C sort -f
}

# album_grid: the album view's grid on this screen into g_left g_top g_w g_h (the view's client
# area), g_cols g_rows, g_cw g_ch (a cell) and g_name (the file-name band under a thumbnail:
# 8 points at the screen's dpi).
album_grid() {
  look HALVREN_ALBUM_VIEW
  g_left=$w_cl g_top=$w_ct g_w=$w_cw g_h=$w_ch
  if [ "$s_w" -lt "$s_h" ]; then
    g_cols=3 g_rows=4
  elif [ "$s_w" -gt "$s_h" ]; then
    g_cols=4 g_rows=3
  else
    g_cols=3 g_rows=3
  fi
  g_cw=$((g_w / g_cols - 2)) g_ch=$((g_h / g_rows - 2))
  g_name=$(((8 * s_dpi + 71) / 72 + 2))
}

# cell_rect I: "X Y W H" of cell I on the screen.
cell_rect() {
  echo "$((g_left + ($1 % g_cols) * (g_cw + 2))) $((g_top + ($1 / g_cols) * (g_ch + 2))) $g_cw $g_ch"
}

# cell_centre I: "X Y", where a tap picks cell I.
cell_centre() {
  local x y w h
  read -r x y w h <<<"$(cell_rect "$1")"
  echo "$((x + w / 2)) $((y + h / 2))"
}

# cell_picture_rect I: "X Y W H", the part of cell I where its thumbnail lies: 3 pixels in
# from the cell's edges (whichever side of the cell the gap is on), above the file name.
cell_picture_rect() {
  local x y w h
  read -r x y w h <<<"$(cell_rect "$1")"
  echo "$((x + 3)) $((y + 3)) $((w - 6)) $((h - 6 - g_name))"
}

# album_background: region_stats's background arguments for the album view's gradient.
album_background() { echo "255 255 255 174 224 255 $g_top $g_h"; }

# cell_stats FILE I: region_stats of cell I's picture part against the gradient (24 levels).
cell_stats() {
  local x y w h
  read -r x y w h <<<"$(cell_picture_rect "$2")"
  # shellcheck disable=SC2046  # the background is several arguments
  region_stats "$1" "$x" "$y" "$w" "$h" 24 $(album_background)
}

# cell_filled FILE I: at least 15% of cell I's picture part is not the background.
cell_filled() {
  local stats unlike total
  stats=$(cell_stats "$1" "$2") || return 1
  read -r unlike total _ <<<"$stats"
  [ "$total" -gt 0 ] && [ $((unlike * 100)) -ge $((total * 15)) ]
}

# --- popup menus --------------------------------------------------------------------------
# crvprobe menu lists the open popup menus, the oldest first (index 0; a submenu comes after
# the menu it opened from), one line per item with its screen rectangle, state and text.
crv_popup_class='#32768'

# menu_open: whether a popup menu shows.
menu_open() { probe windows "$crv_popup_class" 2>/dev/null | grep -q ' visible: 1 '; }

# menu_list: the open menus' item lines into m_lines and the newest menu's index into m_newest;
# returns 1 when no menu is open.
menu_list() {
  local out
  m_lines=() m_newest=-1
  out=$(probe menu 2>>"$scn_home/probe.log") || return 1
  mapfile -t m_lines < <(grep '^item: ' <<<"$out")
  m_newest=$(awk '/^menu: / {n = $2} END {print n + 0}' <<<"$out")
}

# menu_plain TEXT: a menu text as crvprobe quotes it, unescaped and without its "&" marks
# ("&&" is a plain "&").
menu_plain() {
  local t=$1
  t=${t//\\\"/\"}
  t=${t//\\\\/\\}
  t=${t//&&/$'\1'}
  t=${t//&/}
  t=${t//$'\1'/"&"}
  echo "$t"
}

# menu_find TEXT [MENU]: the item of TEXT (compared without "&" marks) in menu MENU, or in the
# newest menu that has one, from m_lines (menu_list) into mi_menu, mi_x mi_y (its centre),
# mi_grayed, mi_checked, mi_submenu; returns 1 when there is none.
menu_find() {
  local i line plain n='(-?[0-9]+)' re
  re="^item: ([0-9]+) ([0-9]+) rect: $n $n $n $n grayed: ([01]) checked: ([01]) submenu: ([01]) text: \"(.*)\"\$"
  for ((i = ${#m_lines[@]} - 1; i >= 0; i--)); do
    line=${m_lines[i]}
    [[ $line =~ $re ]] || fail "crvprobe printed an unexpected menu line: $line"
    [ -z "${2:-}" ] || [ "${BASH_REMATCH[1]}" = "$2" ] || continue
    plain=$(menu_plain "${BASH_REMATCH[10]}")
    [ "$plain" = "$1" ] || continue
    mi_menu=${BASH_REMATCH[1]}
    mi_x=$(((BASH_REMATCH[3] + BASH_REMATCH[5]) / 2)) mi_y=$(((BASH_REMATCH[4] + BASH_REMATCH[6]) / 2))
    mi_grayed=${BASH_REMATCH[7]} mi_checked=${BASH_REMATCH[8]} mi_submenu=${BASH_REMATCH[9]}
    # The same text further up in an older menu is not the one shown on top.
    return 0
  done
  return 1
}

# menu_texts [MENU]: the plain texts of menu MENU (default the newest), "|"-separated, for
# messages.
menu_texts() {
  local line out='' menu=${1:-$m_newest}
  for line in "${m_lines[@]}"; do
    [[ $line =~ ^item:\ $menu\ .*text:\ \"(.*)\"$ ]] || continue
    out+="${out:+|}$(menu_plain "${BASH_REMATCH[1]}")"
  done
  echo "$out"
}

# menu_newer_than LEVEL: menu_list, and a menu newer than LEVEL is open.
menu_newer_than() { menu_list && [ "$m_newest" -gt "$1" ]; }

# open_menu: taps the right soft key and waits for its popup menu.
open_menu() {
  soft_key right
  probe wait "$crv_popup_class" '' 10 >/dev/null 2>>"$scn_home/probe.log" ||
    fail "no menu opened from the right soft key after 10 s"
}

# tap_menu TEXT...: taps the item TEXT (without its "&" marks) of the newest open menu; when it
# opens a submenu, waits for that and goes on there with the next TEXT. A command item must
# come last: then waits until the menus have closed. A grayed item fails. The last submenu
# stays open (for menu_state; close_menus closes it).
tap_menu() {
  local level=-1 text path='' left=$#
  for text in "$@"; do
    left=$((left - 1))
    within 10 menu_newer_than "$level" ||
      fail "no menu${path:+ opened from \"$path\"} after 10 s"
    menu_find "$text" "$m_newest" ||
      fail "the menu${path:+ \"$path\"} has no item \"$text\" (it has: $(menu_texts))"
    path+="${path:+ > }$text"
    [ "$mi_grayed" = 0 ] || fail "the menu item \"$path\" is grayed"
    level=$m_newest
    if [ "$mi_submenu" = 1 ]; then
      # The pointer on the item opens its submenu at once, and on a narrow screen the submenu
      # covers the item: a press there would land on the submenu's first item. So point at the
      # item, and tap it only when that did not open the submenu.
      xdo mousemove --window "$desk" "$mi_x" "$mi_y"
      settle
      within 3 menu_newer_than "$level" || tap "$mi_x" "$mi_y"
    else
      [ "$left" -eq 0 ] || fail "the menu item \"$path\" is a command, but more items follow it"
      tap "$mi_x" "$mi_y"
      wait_gone "$crv_popup_class" 10
    fi
  done
}

# menu_state TEXT: prints "GRAYED CHECKED" (each 0 or 1) of the item TEXT of the newest open
# menu that has it.
menu_state() {
  menu_list || fail "menu_state \"$1\": no menu is open"
  menu_find "$1" || fail "no open menu has an item \"$1\" (the newest has: $(menu_texts))"
  echo "$mi_grayed $mi_checked"
}

# expect_menu_state TEXT GRAYED CHECKED
expect_menu_state() {
  local state
  state=$(menu_state "$1")
  [ "$state" = "$2 $3" ] || fail "the menu item \"$1\" is (grayed checked) $state, not $2 $3"
}

# close_menus: closes every open menu: Escape closes one level; a tap on the navigation bar's
# title (which does nothing) closes what is left.
close_menus() {
  local i l t r b
  for ((i = 0; i < 4; i++)); do
    menu_open || return 0
    key Escape
  done
  look "$crv_navbar_class"
  read -r l t r b <<<"$w_rect"
  tap $((l + (r - l) / 4)) $(((t + b) / 2))
  if menu_open; then fail "the menus do not close"; fi
}

# --- the picture view ---------------------------------------------------------------------
# picture_box FILE X Y W H: where the picture lies in the view whose client area is the
# rectangle: the bounding box of what is not the view's black background in the screenshot
# FILE, into pb_l pb_t pb_r pb_b (screen pixels, right and bottom exclusive) and pb_w pb_h;
# returns 1 when the view shows only background.
picture_box() {
  local trim
  # A black frame around the crop: the box is then found even when the picture fills the view.
  trim=$(convert "$1[${4}x${5}+${2}+${3}]" +repage -bordercolor black -border 1 -fuzz 12% -format '%@' info:) ||
    fail "reading the picture view of $1 failed"
  [[ $trim =~ ^([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)$ ]] || return 1
  pb_w=${BASH_REMATCH[1]} pb_h=${BASH_REMATCH[2]}
  [ "$pb_w" -gt 1 ] && [ "$pb_h" -gt 1 ] || return 1
  pb_l=$(($2 + BASH_REMATCH[3] - 1)) pb_t=$(($3 + BASH_REMATCH[4] - 1))
  pb_r=$((pb_l + pb_w)) pb_b=$((pb_t + pb_h))
}

# The corners of a picture in clockwise order: 0 top left, 1 top right, 2 bottom right, 3
# bottom left.
corner_names=(top-left top-right bottom-right bottom-left)

# corner_colours FILE X Y W H INSET: the mean colours of 3 x 3 pixels INSET pixels in from
# each corner of the rectangle, in corner order, into cc[0..3].
corner_colours() {
  local f=$1 l=$2 t=$3 r=$(($2 + $4)) b=$(($3 + $5)) i=$6
  cc=("$(area_colour "$f" $((l + i)) $((t + i)) 3 3)" "$(area_colour "$f" $((r - i - 3)) $((t + i)) 3 3)"
    "$(area_colour "$f" $((r - i - 3)) $((b - i - 3)) 3 3)" "$(area_colour "$f" $((l + i)) $((b - i - 3)) 3 3)")
}

# nearest_colour "R G B" "R G B"...: the index of the colour nearest to the first (sum of
# squared differences).
nearest_colour() {
  local want=$1
  shift
  printf '%s\n' "$@" | awk -v w="$want" '
    BEGIN { split(w, a, " ") }
    { d = ($1 - a[1]) ^ 2 + ($2 - a[2]) ^ 2 + ($3 - a[3]) ^ 2; if (NR == 1 || d < best) { best = d; n = NR - 1 } }
    END { print n }'
}

# shown_corners SHOT PICTURE: which corner of the picture file PICTURE each corner of the
# picture's box (picture_box) in SHOT shows, by nearest colour, into corners: "TL TR BR BL" as
# corner numbers ("0 1 2 3" is the picture as it is, "3 0 1 2" turned a quarter clockwise);
# corners_seen says what was sampled, for messages.
shown_corners() {
  local pw ph file_cc i
  read -r pw ph < <(identify -format '%w %h\n' "$2[0]") || fail "reading the size of $2 failed"
  corner_colours "$2" 0 0 "$pw" "$ph" 1
  file_cc=("${cc[@]}")
  corner_colours "$1" "$pb_l" "$pb_t" "$pb_w" "$pb_h" 2
  corners='' corners_seen=''
  for ((i = 0; i < 4; i++)); do
    corners+="${corners:+ }$(nearest_colour "${cc[i]}" "${file_cc[@]}")"
    corners_seen+="${corners_seen:+, }${corner_names[i]} ${cc[i]}"
  done
  corners_seen+=" (the picture's corners: ${file_cc[0]}, ${file_cc[1]}, ${file_cc[2]}, ${file_cc[3]})"
}

# --- the media panel -------------------------------------------------------------------------
# The panel's window text mirrors what it shows: "STATUS<tab>TIME<tab>VOLUME<tab>TITLE".
panel_class=HALVREN_SKIN_CTRL
tab=$'\t'

# panel_state: the panel's text into p_status, p_time, p_volume and p_title (any may be
# empty), its rectangle into p_rect.
panel_state() {
  look "$panel_class"
  local text=${w_text//\\t/$tab}
  p_status=${text%%"$tab"*}
  text=${text#*"$tab"}
  p_time=${text%%"$tab"*}
  text=${text#*"$tab"}
  p_volume=${text%%"$tab"*}
  p_title=${text#*"$tab"}
  p_rect=$w_rect
}
# status_is TEXT / title_is TEXT: for `within`.
status_is() { panel_state && [ "$p_status" = "$1" ]; }
title_is() { panel_state && [ "$p_title" = "$1" ]; }
seconds_of() { local m=${1%%:*} s=${1##*:}; echo $((10#$m * 60 + 10#$s)); }
time_at_least() { panel_state && [ -n "$p_time" ] && [ "$(seconds_of "$p_time")" -ge "$1" ]; }

# The skin's places at 96 dpi on a portrait screen (the panel's own coordinates): the buttons
# are 28 x 32 from x = 1 + 30 i at y 227; the seek bar runs from 49 to 197 at y 206-216.
button_centre() {  # INDEX: screen coordinates of button INDEX's centre into bx, by
  local l t r b
  read -r l t r b <<<"$p_rect"
  bx=$((l + 1 + 30 * $1 + 14)) by=$((t + 227 + 16))
}
b_previous=0 b_play=1 b_next=2 b_volume_down=3 b_mute=4 b_volume_up=5 b_full_screen=6
# tap_button INDEX: one tap on a skin button.
tap_button() { button_centre "$1"; tap "$bx" "$by"; }
# expect_volume TEXT WHAT: the volume field shows TEXT.
expect_volume() { panel_state; [ "$p_volume" = "$1" ] || fail "$2 shows $p_volume, not $1"; }

# sound_peak SECONDS: the loudest sample (0..32767) the device's null sink played over the
# next SECONDS, into s_peak; empty when the device has no sound server.
sound_peak() {
  s_peak=''
  local server raw=$scn_home/sound.raw
  server=$(sed -n 's/^server=//p' "$CRV_DEVICE_HOME/device/.crv-sound" 2>/dev/null || true)
  [ -n "$server" ] && command -v parec >/dev/null 2>&1 || return 0
  PULSE_SERVER=$server timeout "$1" parec --latency-msec=100 -d crv_null.monitor --raw --format=s16le --channels=1 --rate=8000 \
    >"$raw" 2>/dev/null || true
  s_peak=$(python3 -c 'import sys, array
a = array.array("h"); a.frombytes(open(sys.argv[1], "rb").read()[: 2 * (len(open(sys.argv[1], "rb").read()) // 2)])
print(max((abs(x) for x in a), default=0))' "$raw")
}
