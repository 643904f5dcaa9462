#!/bin/bash
# Converts two DVD titles of the same 30-second NTSC picture and sound to MP4 (H.264 + AAC) with
# the engine, in alternating pairs: title 1 is one cell, title 2 the same material over six
# chapters, seven cells and two VOB files (the second file's clock starts again at 0). Prints
# wall time, CPU time and peak memory of each and the multi-cell/single-cell ratios (medians).
# Not part of CI.
#
# Usage: bench/dvd_cells_bench.sh [BUILD_DIR] [PAIRS]   (default: build/release, 3 pairs)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
PAIRS=${2:-3}
STAGE=$BUILD/stage
WORK=${TMPDIR:-/tmp}/trivox_dvd_cells_bench

for tool in ffmpeg ffprobe dvdauthor /usr/bin/time bc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$STAGE/trivox_free" ] && [ -x "$STAGE/trivox_job" ] || { echo "build $STAGE first" >&2; exit 1; }

. "$ROOT/bench/bench_lib.sh"
mkdir -p "$WORK"
engine_copy "$STAGE" "$WORK/engine"

DISC=$WORK/disc
if [ ! -f "$DISC/VIDEO_TS/VIDEO_TS.IFO" ]; then
  echo "making the disc..."
  cd "$WORK"
  part() {  # OUT OFFSET SECONDS
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=size=720x480:rate=30000/1001,trim=start=$2:duration=$3" \
      -f lavfi -i "sine=frequency=440:sample_rate=48000,atrim=start=$2:duration=$3" \
      -target ntsc-dvd -aspect 4:3 -b:v 6000k -c:a ac3 -b:a 192k -ac 2 "$1"
  }
  part whole.mpg 0 30
  part first.mpg 0 18
  part second.mpg 18 12
  cat > dvd.xml <<XML
<dvdauthor dest="$DISC">
  <vmgm/>
  <titleset>
    <titles>
      <video format="ntsc" aspect="4:3"/>
      <audio lang="en"/>
      <pgc><vob file="whole.mpg"/></pgc>
      <pgc>
        <vob file="first.mpg">
          <cell start="0" end="3" chapter="1"/>
          <cell start="3" end="6" program="1"/>
          <cell start="6" end="12" chapter="1"/>
          <cell start="12" chapter="1"/>
        </vob>
        <vob file="second.mpg" chapters="0,4,8"/>
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x dvd.xml >dvdauthor.log 2>&1 || { cat dvdauthor.log; exit 1; }
  cd - >/dev/null
fi

VIDEO="\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=843534413,\"WIDTH\"=720,\"HEIGHT\"=480,\"FRAMERATE\"=F29.97"
AUDIO="\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=1093878593,\"CHANNEL\"=2,\"SAMPLERATE\"=48000"

run_title() {  # TITLE LABEL
  "$STAGE/trivox_job" write convert "$WORK/engine/default_0.dat" --source "dvd:$1,1,99,$DISC" \
    --desc "$VIDEO" --desc "$AUDIO" --output "$WORK/title$1.mp4" --writer "[FFM]MP4" \
    --writer-params "\"GLOBALHEADER\"=1" --vcodec "[FFM]H264" --acodec "[FFM]AAC" --width 720 --height 480 \
    --vbitrate 2000000 --abitrate 128000 >/dev/null
  measure "$WORK" "$2" bash -c "cd '$WORK/engine' && exec ./trivox_free -m test"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$WORK/pairs.txt"
for i in $(seq 1 "$PAIRS"); do
  run_title 1 single
  S="$WALL $CPU $PEAK"
  run_title 2 multi
  echo "$S $WALL $CPU $PEAK" >>"$WORK/pairs.txt"
  printf 'pair %d: single %s s wall, %s s cpu; multi %s s wall, %s s cpu\n' "$i" ${S% *} "$WALL" "$CPU"
done

col() { awk -v c="$1" '{ print $c }' "$WORK/pairs.txt" | median; }
printf '%-8s %8s %8s %10s\n' "title" "wall s" "cpu s" "peak kB"
printf '%-8s %8s %8s %10s\n' "single" "$(col 1)" "$(col 2)" "$(col 3)"
printf '%-8s %8s %8s %10s\n' "multi" "$(col 4)" "$(col 5)" "$(col 6)"
printf '%-8s %8.2f %8.2f %10.2f\n' "ratio" "$(echo "$(col 4) / $(col 1)" | bc -l)" \
  "$(echo "$(col 5) / $(col 2)" | bc -l)" "$(echo "$(col 6) / $(col 3)" | bc -l)"
for t in 1 2; do
  printf 'title%d.mp4  %s\n' "$t" "$(ffprobe -v error -show_entries stream=codec_type,nb_frames,duration \
    -of csv=p=0 "$WORK/title$t.mp4" | tr '\n' ' ')"
done
