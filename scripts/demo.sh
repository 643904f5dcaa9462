#!/usr/bin/env bash
# Installs the dependencies, makes a user build (build/user: Release, no tests) of only
# what the demo runs, and converts the main title of the small sample DVD that the
# build makes into an MP4 (H.264 + AAC), with the job the front end would send
# (scripts/demo_job.sh).
# DEMO_PLAN_ONLY=1: configure and print the build steps the demo would run, nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/user_config.sh
build=${DEMO_BUILD_DIR:-build/user}

if [ "${DEMO_PLAN_ONLY:-0}" = 1 ]; then
  cmake -S . -B "$build" "${TRIVOX_USER_CONFIG[@]}" >/dev/null
  exec ninja -C "$build" -t commands demo
fi

bash scripts/install-deps.sh
cmake -S . -B "$build" "${TRIVOX_USER_CONFIG[@]}" >/dev/null
cmake --build "$build" --target demo -j "$(nproc)"

stage=$(cd "$build" && pwd)/stage
disc=$stage/sample_dvd
outdir=$PWD/demo-output

if [ ! -d "$disc/VIDEO_TS" ]; then
  echo "The sample DVD was not built (it needs ffmpeg and dvdauthor)." >&2
  exit 1
fi

# The job as the front end builds it for the main title (its display aspect kept).
out=$(bash scripts/demo_job.sh "$stage" "$disc" "$outdir" "$stage/default_0.dat")
echo "== sample DVD $disc: main title $("$stage/dvdscan" "$disc" | sed -n 's/^Main title: //p') to $out"

echo "== running: $stage/trivox_free -m test"
set +e
"$stage/trivox_free" -m test
status=$?
set -e
if [ "$status" -ne 0 ]; then
  echo "== conversion failed (engine exit status $status)" >&2
  exit "$status"
fi
echo "== converted: $out"
ffprobe -v error -show_entries format=duration:stream=codec_type,codec_name,width,height,display_aspect_ratio -of compact "$out"
