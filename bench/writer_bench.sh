#!/bin/bash
# Converts one 60-second 720x576 clip to MP4 (H.264 + AAC) and to AVI
# (MPEG-4 through [PLUGIN]MPEG4 + MP3) with the engine and with the ffmpeg CLI
# at the same encoder settings; prints wall time, CPU time, peak memory and the
# engine/ffmpeg ratios. Not part of CI.
#
# Usage: bench/writer_bench.sh [BUILD_DIR]   (default: build/debug)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/debug}
STAGE=$BUILD/stage
WORK=${TMPDIR:-/tmp}/trivox_writer_bench
VBITRATE=2000000
ABITRATE=128000
GOP=12

for tool in ffmpeg ffprobe /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$STAGE/trivox_free" ] && [ -x "$STAGE/trivox_job" ] || { echo "build $STAGE first" >&2; exit 1; }
[ -f "$STAGE/plugin/mpeg4enc.so" ] || { echo "missing $STAGE/plugin/mpeg4enc.so" >&2; exit 1; }

. "$ROOT/bench/bench_lib.sh"
engine_copy "$STAGE" "$WORK/engine"

SRC=$WORK/source.avi
if [ ! -s "$SRC" ]; then
  echo "making the 60-s 720x576 source..."
  ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=720x576:rate=25 \
    -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 60 \
    -c:v mpeg4 -q:v 2 -c:a pcm_s16le -ac 2 "$SRC"
fi

engine_job() {  # OUTPUT WRITER VCODEC ACODEC
  "$STAGE/trivox_job" write convert "$WORK/engine/default_0.dat" --source "$SRC" --output "$1" \
    --writer "$2" --vcodec "$3" --acodec "$4" --width 720 --height 576 --channels 2 --sample-rate 48000 \
    --vbitrate $VBITRATE --abitrate $ABITRATE --vparams "\"GOP\"=$GOP" >/dev/null
}


report() {  # NAME
  local name=$1
  printf '%-10s %-8s %8s %8s %10s\n' "$name" "engine" "$E_WALL" "$E_CPU" "$E_PEAK"
  printf '%-10s %-8s %8s %8s %10s\n' "" "ffmpeg" "$F_WALL" "$F_CPU" "$F_PEAK"
  printf '%-10s %-8s %8.2f %8.2f %10.2f\n' "" "ratio" "$(echo "$E_WALL / $F_WALL" | bc -l)" \
    "$(echo "$E_CPU / $F_CPU" | bc -l)" "$(echo "$E_PEAK / $F_PEAK" | bc -l)"
}

printf '%-10s %-8s %8s %8s %10s\n' "output" "program" "wall s" "cpu s" "peak kB"

# MP4: H.264 + AAC.
engine_job "$WORK/engine.mp4" "[FFM]MP4" "[FFM]H264" "[FFM]AAC"
measure "$WORK" engine_mp4 bash -c "cd '$WORK/engine' && exec ./trivox_free -m test"
E_WALL=$WALL E_CPU=$CPU E_PEAK=$PEAK
measure "$WORK" ffmpeg_mp4 ffmpeg -nostdin -y -i "$SRC" -c:v libx264 -b:v $VBITRATE -g $GOP -c:a aac -b:a $ABITRATE \
  "$WORK/ffmpeg.mp4"
F_WALL=$WALL F_CPU=$CPU F_PEAK=$PEAK
report "mp4"

# AVI: MPEG-4 (XVID) + MP3.
engine_job "$WORK/engine.avi" "[FFM]AVI" "[PLUGIN]MPEG4" "[FFM]MP3"
measure "$WORK" engine_avi bash -c "cd '$WORK/engine' && exec ./trivox_free -m test"
E_WALL=$WALL E_CPU=$CPU E_PEAK=$PEAK
measure "$WORK" ffmpeg_avi ffmpeg -nostdin -y -i "$SRC" -c:v mpeg4 -vtag XVID -b:v $VBITRATE -g $GOP -c:a libmp3lame \
  -b:a $ABITRATE "$WORK/ffmpeg.avi"
F_WALL=$WALL F_CPU=$CPU F_PEAK=$PEAK
report "avi"

for f in engine.mp4 ffmpeg.mp4 engine.avi ffmpeg.avi; do
  printf '%-12s %s\n' "$f" "$(ffprobe -v error -show_entries format=duration,size:stream=codec_name \
    -of csv=p=0 "$WORK/$f" | tr '\n' ' ')"
done
