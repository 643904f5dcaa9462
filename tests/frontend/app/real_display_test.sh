#!/usr/bin/env bash
# real_display_test.sh STAGE_DIR DVD_FIXTURE_DIR ARTIFACT_DIR
#
# velmo on a real X server: its own Xvfb (a free display number) with openbox,
# driven by xdotool key presses and mouse clicks. It opens each window reachable
# from the main window, pictures it into ARTIFACT_DIR and checks the picture is
# drawn (not black, not one flat colour), closes it, converts the fixture disc's
# main title to MP4 with Start, pictures the completion dialog and its copy
# window, checks the file with ffprobe, and ends velmo from its menu (status 0).
set -euo pipefail

[ $# -eq 3 ] || { echo "usage: $0 STAGE_DIR DVD_FIXTURE_DIR ARTIFACT_DIR" >&2; exit 2; }
stage=$1
disc=$2/basic
listing=$2/lsdvd/basic.txt
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb openbox xdotool ffmpeg ffprobe timeout setsid; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing: the real-display test needs xvfb, openbox, xdotool and ffmpeg" \
      "(scripts/install-deps.sh installs them)" >&2
    exit 1
  fi
done
[ -x "$stage/velmo" ] || { echo "FAIL: no velmo in $stage" >&2; exit 1; }
[ -d "$disc/VIDEO_TS" ] || { echo "FAIL: no fixture disc $disc" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/real_display.XXXXXX")
home=$work/home
out=$work/out
mkdir -p "$home/data" "$home/cfg" "$home/runtime" "$out" "$artifacts"
chmod 700 "$home/runtime"
rm -f "$artifacts"/*.png

xvfb_pid="" wm_pid="" velmo_pid=""
cleanup() {
  local status=$?
  [ -z "$velmo_pid" ] || kill -- "-$velmo_pid" 2>/dev/null || true
  for pid in $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $velmo_pid $wm_pid $xvfb_pid; do
    wait "$pid" 2>/dev/null || true
  done
  if [ $status -ne 0 ]; then
    for log in velmo xvfb openbox; do
      [ -s "$work/$log.log" ] && { echo "--- $log.log"; tail -n 40 "$work/$log.log"; }
    done
  fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits up to $1 seconds for the shell condition $2.
wait_for() {
  timeout "$1" bash -c "until $2; do sleep 0.05; done" >/dev/null 2>&1
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 20 "[ -s '$work/display' ]" || fail "Xvfb did not start"
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# The number can come before the server takes connections: wait until a client gets in.
wait_for 20 "xdotool getdisplaygeometry" || fail "Xvfb takes no connections on $DISPLAY"

HOME=$home XDG_CONFIG_HOME=$home/cfg openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
# The window manager is up once it answers for the desktops.
wait_for 20 "xdotool get_desktop" || fail "openbox did not start"

alive() {
  kill -0 "$velmo_pid" 2>/dev/null || fail "velmo died ($1)"
}

# The ids of the visible windows titled exactly $1 (none: empty).
windows_named() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | sort || true
}

# Waits for a new visible window titled $1 (not one of the ids in $2) and prints its id.
new_window() {
  local name=$1 known=$2 deadline=$((SECONDS + 30)) id
  while [ $SECONDS -lt $deadline ]; do
    alive "waiting for \"$name\""
    for id in $(windows_named "$name"); do
      if ! grep -qx "$id" <<<"$known"; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.05
  done
  fail "the window \"$name\" did not open"
}

# Waits until window $1, titled $2, is gone.
closed() {
  local deadline=$((SECONDS + 20))
  while windows_named "$2" | grep -qx "$1"; do
    [ $SECONDS -lt $deadline ] || fail "the window \"$2\" did not close"
    sleep 0.05
  done
  alive "after closing \"$2\""
}

# Pictures window $1 into $2.png and checks it is drawn: not black, not one flat
# colour; with $3 (x:y:w:h in thousandths of the window) the check is of that
# part only. A window just mapped may not have painted yet, and pictures the
# engine renders come later, so the picture is taken again until it is drawn,
# within a bound.
shoot() {
  local id=$1 png=$artifacts/$2.png stats=$work/stats deadline=$((SECONDS + 20)) avg min max part=null
  if [ $# -ge 3 ]; then
    IFS=: read -r x y w h <<<"$3"
    part="crop=iw*$w/1000:ih*$h/1000:iw*$x/1000:ih*$y/1000"
  fi
  while :; do
    rm -f "$stats"
    ffmpeg -nostdin -v error -f x11grab -draw_mouse 0 -framerate 100 -window_id "$id" -i "$DISPLAY" \
      -filter_complex "[0:v]split[shot][s];[s]$part,signalstats,metadata=print:file=$stats,nullsink" \
      -map "[shot]" -frames:v 1 -y "$png" || fail "no picture of \"$2\""
    avg=$(sed -n 's/.*signalstats.YAVG=\([0-9]*\).*/\1/p' "$stats")
    min=$(sed -n 's/.*signalstats.YMIN=\([0-9]*\).*/\1/p' "$stats")
    max=$(sed -n 's/.*signalstats.YMAX=\([0-9]*\).*/\1/p' "$stats")
    [ -n "$avg" ] || fail "no picture statistics for \"$2\""
    if [ "$avg" -gt 60 ] && [ $((max - min)) -gt 60 ]; then
      echo "[${SECONDS}s] picture $2.png: mean luma $avg, range $min-$max"
      return 0
    fi
    [ $SECONDS -lt $deadline ] || fail "\"$2\" is not drawn (mean luma $avg, range $min-$max): $png"
    sleep 0.2
  done
}

# Opens the window titled $1 with the keys $2 pressed in the main window, and prints its id.
open_by_keys() {
  local known
  known=$(windows_named "$1")
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  # shellcheck disable=SC2086
  xdotool key --delay 60 $2
  new_window "$1" "$known"
}

# Closes window $1, titled $2, with Escape.
close_window() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool key Escape
  closed "$1" "$2"
}

# Opens a window with keys, pictures it as $3 and closes it.
visit() {
  local id
  id=$(open_by_keys "$1" "$2")
  shoot "$id" "$3"
  close_window "$id" "$1"
}

# Clicks ($6 times, once when not given) at ($2, $3) of window $1 measured in a
# grid of $4 x $5 over the window (a dialog's units, or thousandths where the
# window is no single template).
click_at() {
  local id=$1 WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(WIDTH|HEIGHT)=')"
  xdotool mousemove --window "$id" $(($2 * WIDTH / $4)) $(($3 * HEIGHT / $5)) \
    click --repeat "${6:-1}" --delay 80 1
}

# Opens the window $2 by clicking at ($3, $4) of window $1 on a grid of $5 x $6,
# pictures it as $7 and closes it with Escape.
visit_click() {
  local from=$1 name=$2 picture=$7 known id
  known=$(windows_named "$name")
  click_at "$from" "$3" "$4" "$5" "$6"
  id=$(new_window "$name" "$known")
  shoot "$id" "$picture"
  close_window "$id" "$name"
}

# The rows of picture $1 that are $3 (rrggbb) in pixel column $2, as "first last".
rows_of_colour() {
  ffmpeg -nostdin -v error -i "$1" -vf "crop=1:ih:$2:0,format=rgb24" -f rawvideo - | od -An -v -tx1 -w3 |
    awk -v c="$3" '{ if ($1 $2 $3 == c) { if (!f) f = NR; l = NR } } END { if (f) print f - 1, l - 1 }'
}

# velmo with its own folders, the fixture disc loaded, the MP4 profile and the
# output folder, in a process group of its own (the engines it starts end with
# it); under the leak checker, leaks inside the X11 platform's system libraries
# are not velmo's.
(cd "$home" && exec setsid env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/cfg" \
  XDG_RUNTIME_DIR="$home/runtime" LSAN_OPTIONS="suppressions=$here/real_display_lsan.supp" \
  "$stage/velmo" --load-dvd "$disc" --profile V_10_MP4/1 --out "$out") >"$work/velmo.log" 2>&1 &
velmo_pid=$!
main=$(new_window "Velmo DVD Converter" "")

format=$(open_by_keys "Output format" "alt+c f")
shoot "$format" output_format
# Advance... of the video settings page.
visit_click "$format" "Advance settings" 707 603 1000 1000 advance_settings
close_window "$format" "Output format"
# The keys above were taken after the disc's load, which runs as the window shows.
shoot "$main" main_window

# In the filter sheet $1: Add... opens the filter picker, $2 Down presses and
# Enter pick a filter, whose dialog (titled $3) opens; it is pictured as $4 (and
# with $5, x:y:w:h in thousandths, that part is checked drawn as well) and
# cancelled, which leaves the filter out.
filter_dialog() {
  local picker id
  click_at "$1" 132 788 1000 1000
  picker=$(new_window "Filter list" "")
  # shellcheck disable=SC2046
  xdotool key --delay 60 $(printf 'Down %.0s' $(seq "$2")) Return
  closed "$picker" "Filter list"
  id=$(new_window "$3" "")
  shoot "$id" "$4"
  [ $# -lt 5 ] || shoot "$id" "$4" "$5"
  close_window "$id" "$3"
}

visit "Edit" "alt+e r" filters_resize
sheet=$(open_by_keys "Edit" "alt+e v m")
shoot "$sheet" filters_video
# Add... of the video filter page: the filter picker, and the dialogs of its filters.
visit_click "$sheet" "Filter list" 132 788 1000 1000 filter_list
filter_dialog "$sheet" 4 "LEVELS" filter_levels
# The crop dialog's preview is a frame the engine renders.
filter_dialog "$sheet" 5 "Crop,resize & pad settings" filter_crop_resize 420:180:460:550
filter_dialog "$sheet" 7 "TWEAK" filter_tweak
close_window "$sheet" "Edit"
sheet=$(open_by_keys "Edit" "alt+e a Return")
shoot "$sheet" filters_audio
visit_click "$sheet" "Filter list" 132 788 1000 1000 filter_list_audio
filter_dialog "$sheet" 1 "EQUALIZER" filter_equalizer
close_window "$sheet" "Edit"
visit "Subtitle setting" "alt+e v s" subtitle
visit "Watermark setting" "alt+e v w" watermark
# The View menu is reached from the Convert menu: Alt+V also names the View button.
visit "File info" "alt+c Left m" file_info_names
visit "File info" "alt+c Left o" file_info_metadata
visit "Log window" "alt+c Left l" log_window

# The About box has the program's name, as the main window does; it has no
# buttons and swallows Enter and Escape: a double click on its face closes it.
id=$(open_by_keys "Velmo DVD Converter" "alt+h a")
shoot "$id" about
click_at "$id" 500 850 1000 1000 2
closed "$id" "Velmo DVD Converter"

# Trim... is a picture button on the light band below the title tree (x 117 to 165
# in dialog units); the band's rows are found in the main window's picture.
eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^(WIDTH|HEIGHT)=')"
read -r band_top band_bottom <<<"$(rows_of_colour "$artifacts/main_window.png" $((8 * WIDTH / 540)) edf5ff)" ||
  fail "no button band in the main window's picture"
[ $((band_bottom - band_top)) -gt 20 ] || fail "the button band is $band_top-$band_bottom"
known=$(windows_named "Clip start & end time setting")
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool mousemove --window "$main" $((141 * WIDTH / 540)) $(((band_top + band_bottom) / 2)) click 1
id=$(new_window "Clip start & end time setting" "$known")
# Its two frames are rendered by the engine.
shoot "$id" clip_range 20:170:470:540
shoot "$id" clip_range 520:170:470:540
close_window "$id" "Clip start & end time setting"

# Start converts the checked main title; the completion dialog follows the progress dialog.
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key alt+s
done_id=""
deadline=$((SECONDS + 120))
while [ -z "$done_id" ]; do
  alive "converting"
  done_id=$(windows_named "Information" | head -n 1)
  [ -n "$done_id" ] || [ $SECONDS -lt $deadline ] || fail "the completion dialog did not open"
  [ -n "$done_id" ] || sleep 0.1
done
shoot "$done_id" convert_done

# Copy to... opens the copy window over the results.
click_at "$done_id" 42 156 260 170
id=$(new_window "Copy file" "")
shoot "$id" copy_file
close_window "$id" "Copy file"
close_window "$done_id" "Information"

file=$out/Title-01.mp4
[ -f "$file" ] || fail "no output file $file"
streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$file" | sort | tr '\n' ' ')
[ "$streams" = "audio video " ] || fail "the output's streams are \"$streams\""
duration=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$file")
length=$(sed -n 's/^Title: 01, Length: \([0-9]*\):\([0-9]*\):\([0-9.]*\) .*/\1 \2 \3/p' "$listing" |
  awk '{print $1 * 3600 + $2 * 60 + $3}')
[ -n "$length" ] || fail "no length of title 1 in $listing"
awk -v d="$duration" -v l="$length" 'BEGIN { exit !(d - l < 0.3 && l - d < 0.3) }' ||
  fail "the output lasts $duration s, the title $length s"
echo "[${SECONDS}s] output: $streams, $duration s (title $length s)"

# File > Exit ends velmo with status 0.
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key --delay 60 alt+f e
wait_for 30 "! kill -0 $velmo_pid 2>/dev/null" || fail "velmo did not end after File > Exit"
status=0
wait "$velmo_pid" || status=$?
velmo_pid=""
[ $status -eq 0 ] || fail "velmo ended with status $status"
echo "PASS"
