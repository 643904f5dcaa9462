#!/bin/bash
# Converts one DVD title to MP4 (H.264 at 2 Mb/s + AAC 128k) with the engine, running the job
# the front end builds for its MP4 profile (scripts/demo_job.sh), and with the ffmpeg CLI at the
# same settings on the concatenated VOB files of the title, in alternating pairs. Prints the
# medians of wall time, CPU time (user + system) and peak memory (max RSS) and the
# engine/ffmpeg ratios; with perf, also the CPU each spends outside the codec libraries.
# Not part of CI.
#
# Usage: bench/dvd_title_bench.sh [BUILD_DIR] [PAIRS] [DISC_WORKDIR] [TITLE]
#   BUILD_DIR     default build/release (a Release build with velmo-cli and dvdscan staged)
#   PAIRS         default 5
#   DISC_WORKDIR  a folder made by make_anchor_dvd.sh (its DVD/VIDEO_TS is used); made when
#                 missing
#   TITLE         default 3 (the anchor disc's 60-s 720x480 main feature)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
PAIRS=${2:-5}
WORK=${TMPDIR:-/tmp}/trivox_dvd_title_bench
ANCHOR=${3:-$WORK/anchor}
TITLE=${4:-3}
STAGE=$BUILD/stage
MAKE_DISC=/work/shared/reference/make_anchor_dvd.sh
VBITRATE=2000k
ABITRATE=128k

for tool in ffmpeg ffprobe /usr/bin/time bc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
for program in trivox_free velmo-cli dvdscan; do
  [ -x "$STAGE/$program" ] || { echo "build $STAGE/$program first" >&2; exit 1; }
done

. "$ROOT/bench/bench_lib.sh"
mkdir -p "$WORK"
engine_copy "$STAGE" "$WORK/engine"

DISC=$ANCHOR/DVD
if [ ! -f "$DISC/VIDEO_TS/VIDEO_TS.IFO" ]; then
  echo "making the anchor disc in $ANCHOR..."
  bash "$MAKE_DISC" "$ANCHOR" >"$WORK/make_disc.log" 2>&1 || { cat "$WORK/make_disc.log"; exit 1; }
fi

# The engine's job: the title as the front end converts it with the stock MP4 profile.
OUT_DIR=$WORK/engine_out
ENGINE_OUT=$(bash "$ROOT/scripts/demo_job.sh" "$STAGE" "$DISC" "$OUT_DIR" "$WORK/engine/default_0.dat" "$TITLE")
[ -n "$ENGINE_OUT" ] || { echo "no job for title $TITLE" >&2; exit 1; }

# The same title for the CLI: the VOB files of its title set, the picture at the job's pixel
# aspect, its first audio track.
SCAN=$("$STAGE/dvdscan" "$DISC")
VTS=$(awk -v t="$TITLE" '/^Title: /{ n = $2 + 0; if (n == t && match($0, /VTS: *[0-9]+/)) print substr($0, RSTART + 4) + 0 }' <<<"$SCAN")
if [ -z "$VTS" ]; then
  # dvdscan names no title set: the anchor disc keeps title 3 in set 2, the others in set 1.
  VTS=$([ "$TITLE" -ge 3 ] && echo 2 || echo 1)
fi
VOBS=$(ls "$DISC"/VIDEO_TS/VTS_$(printf '%02d' "$VTS")_[1-9].VOB | paste -sd '|')
PAR=$(grep -ao '"PARNUM"=[0-9]*,"PARDEN"=[0-9]*' "$WORK/engine/default_0.dat" | head -n 1 | tr -dc '0-9,' | tr ',' '/' || true)
[ -n "$PAR" ] || PAR=1/1
CLI_OUT=$WORK/ffmpeg_title$TITLE.mp4

run_engine() { measure "$WORK" engine bash -c "cd '$WORK/engine' && exec ./trivox_free -m test"; }
run_ffmpeg() {
  measure "$WORK" ffmpeg ffmpeg -nostdin -y -loglevel error -i "concat:$VOBS" -map 0:v:0 -map 0:a:0 \
    -vf "setsar=$PAR" -c:v libx264 -b:v $VBITRATE -threads 0 -c:a aac -b:a $ABITRATE -ac 2 -ar 48000 "$CLI_OUT"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "title $TITLE of $DISC; $(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$WORK/pairs.txt"
for i in $(seq 1 "$PAIRS"); do
  # Alternate which program runs first, so a change in the machine's load hits both alike.
  if [ $((i % 2)) -eq 1 ]; then
    run_engine; E="$WALL $CPU $PEAK"; run_ffmpeg; F="$WALL $CPU $PEAK"
  else
    run_ffmpeg; F="$WALL $CPU $PEAK"; run_engine; E="$WALL $CPU $PEAK"
  fi
  echo "$E $F" >>"$WORK/pairs.txt"
  printf 'pair %d: engine %s s wall, %s s cpu; ffmpeg %s s wall, %s s cpu\n' "$i" ${E% *} ${F% *}
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

col() { awk -v c="$1" '{ print $c }' "$WORK/pairs.txt" | median; }
printf '%-8s %8s %8s %10s\n' "program" "wall s" "cpu s" "peak kB"
printf '%-8s %8s %8s %10s\n' "engine" "$(col 1)" "$(col 2)" "$(col 3)"
printf '%-8s %8s %8s %10s\n' "ffmpeg" "$(col 4)" "$(col 5)" "$(col 6)"
printf '%-8s %8.2f %8.2f %10.2f\n' "ratio" "$(echo "$(col 1) / $(col 4)" | bc -l)" \
  "$(echo "$(col 2) / $(col 5)" | bc -l)" "$(echo "$(col 3) / $(col 6)" | bc -l)"
if command -v HandBrakeCLI >/dev/null; then
  echo "HandBrakeCLI is installed but not timed here"
else
  echo "HandBrakeCLI: not installed, skipped"
fi
for f in "$ENGINE_OUT" "$CLI_OUT"; do
  printf '%s  %s\n' "$(basename "$f")" "$(ffprobe -v error -show_entries stream=codec_name,width,height,sample_aspect_ratio,nb_frames \
    -of csv=p=0 "$f" | tr '\n' ' ')"
done

# CPU outside the codec libraries (x264, libavcodec, libavutil) and the kernel, for the engine
# and for the ffmpeg CLI: one run of each under perf.
outside_share() { # perf.data, cpu seconds, label
  perf report -i "$1" --sort dso --stdio 2>/dev/null | grep -E '^ +[0-9.]+%' >"$1.dso"
  share() { awk -v re="$1" '$2 ~ re { sub("%", "", $1); s += $1 } END { printf "%.1f", s }' "$2"; }
  local all codecs outside
  all=$(share '^[^[]' "$1.dso")
  codecs=$(share '^lib(x264|avcodec|avutil)' "$1.dso")
  outside=$(echo "$all - $codecs" | bc -l)
  echo "$3 CPU by library (perf, one run):"
  head -n 8 "$1.dso"
  printf '%s outside the codecs and the kernel: %.1f%% of its CPU, about %.1f s of the median %s s\n' \
    "$3" "$outside" "$(echo "$outside * $2 / 100" | bc -l)" "$2"
}
if command -v perf >/dev/null && perf record -q -o "$WORK/perf.data" -F 499 -- true >/dev/null 2>&1; then
  (cd "$WORK/engine" && perf record -q -o "$WORK/perf.data" -F 499 -- ./trivox_free -m test >"$WORK/perf_run.log" 2>&1)
  outside_share "$WORK/perf.data" "$(col 2)" engine
  perf record -q -o "$WORK/perf_ffmpeg.data" -F 499 -- ffmpeg -nostdin -y -loglevel error -i "concat:$VOBS" \
    -map 0:v:0 -map 0:a:0 -vf "setsar=$PAR" -c:v libx264 -b:v $VBITRATE -threads 0 -c:a aac -b:a $ABITRATE -ac 2 \
    -ar 48000 "$CLI_OUT" >/dev/null 2>&1
  outside_share "$WORK/perf_ffmpeg.data" "$(col 5)" ffmpeg
else
  echo "perf: not available, the CPU outside the codecs is not measured"
fi
