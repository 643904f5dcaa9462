#!/usr/bin/env bash
# demo_job.sh STAGE DISC OUTDIR RECORD [TITLE] - writes RECORD, the convert job of the demo, the way the
# front end builds it: the disc's main title (dvdscan), its streams as the task's track
# descriptors (the picture's pixel aspect from the title's size and display aspect), an MP4
# profile (H.264 + AAC) whose pixel aspect is the title's ("PARNUM"/"PARDEN"), and the
# letterbox scale layout, so the output keeps the title's display aspect. Prints the output path.
# TITLE, when given, is converted instead of the main title.
set -euo pipefail

[ $# -eq 4 ] || [ $# -eq 5 ] || { echo "usage: $0 STAGE DISC OUTDIR RECORD [TITLE]" >&2; exit 2; }
stage=$1 disc=$2 outdir=$3 record=$4

scan=$("$stage/dvdscan" "$disc")
main=${5:-$(sed -n 's/^Main title: //p' <<<"$scan")}
[[ "$main" =~ ^[0-9]+$ ]] || { echo "demo_job: no main title on $disc" >&2; exit 1; }
title=$(grep -E "^Title: 0*$main," <<<"$scan")
audio=$(awk -v t="$main" '/^Title: /{ n = $2 + 0 } n == t && /^\tAudio: 1,/' <<<"$scan")
field() { sed -n "s/.*[, ]$1: \([^,]*\).*/\1/p" <<<"$2"; }
width=$(field Width "$title")
height=$(field Height "$title")
fps=$(field FPS "$title")
aspect=$(field Aspect "$title")

gcd() { local a=$1 b=$2 t; while [ "$b" -ne 0 ]; do t=$((a % b)); a=$b; b=$t; done; echo "$a"; }
# The pixel aspect that shows WIDTHxHEIGHT at the display aspect: (aw/ah) / (width/height).
aw=${aspect%/*} ah=${aspect#*/}
num=$((aw * height)) den=$((ah * width))
g=$(gcd "$num" "$den")
num=$((num / g)) den=$((den / g))

fourcc() { local s=$1; printf '%d' $(( $(printf '%d' "'${s:0:1}") | $(printf '%d' "'${s:1:1}") << 8 |
  $(printf '%d' "'${s:2:1}") << 16 | $(printf '%d' "'${s:3:1}") << 24 )); }
tracks=(--track "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=$(fourcc MPG2),\"WIDTH\"=$width,\"HEIGHT\"=$height,\"FRAMERATE\"=$fps,\"PNAN\"=$num,\"PNAD\"=$den")
if [ -n "$audio" ]; then
  id=$(field Id "$audio")
  case $(field Format "$audio") in
    AC-3) vfcc=AC3A ;; DTS) vfcc=DTSA ;; MPEG) vfcc=MP2A ;; LPCM) vfcc=DPCM ;; *) vfcc="" ;;
  esac
  if [ -n "$vfcc" ]; then
    # A private-stream substream ("0x80BD") is named by its substream byte.
    sub=$(( id >> 8 ? id >> 8 : id ))
    tracks+=(--track "\"TYPE\"=1,\"STREAMID\"=$sub,\"VFCC\"=$(fourcc $vfcc),\"CHANNEL\"=$(field Channels "$audio"),\"SAMPLERATE\"=$(field Frequency "$audio")")
  fi
fi

mkdir -p "$outdir"
"$stage/velmo-cli" job --source "dvd:$main,1,99,$disc" "${tracks[@]}" \
  --profile muxer='[FFM]MP4' --profile vcodec='[FFM]H264' --profile acodec='[FFM]AAC' --profile ext=mp4 \
  --profile muxer-params='"GLOBALHEADER"=1' --profile vparams="\"PARNUM\"=$num,\"PARDEN\"=$den" \
  --scale-mode 1 --folder "$outdir" --overwrite --out "$record" | sed -n 's/^output.path: "\(.*\)"$/\1/p'
