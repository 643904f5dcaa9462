#!/usr/bin/env bash
# make_sample_dvd.sh OUTDIR - a small sample DVD-Video folder (OUTDIR/VIDEO_TS) to try the
# converter on: PAL, one title set with
#   title 1  3 s  trailer, 1 chapter
#   title 2  12 s main feature, 3 chapters of 4 s (the longest title: the disc's main title)
# both MPEG-2 720x576 4:3 with AC-3 stereo audio (English).
#
# Tools (Debian 12): ffmpeg, dvdauthor. Exit codes: 0 done (or already up to date),
# 77 a tool is missing (0 with SAMPLE_DVD_OPTIONAL=1, as the build runs it), other = failure.
# A stamp OUTDIR/.complete holding the checksum of this script (and of
# scripts/stamped_outdir.sh) makes later runs return at once.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
for t in ffmpeg dvdauthor; do
  if ! command -v "$t" >/dev/null; then
    echo "missing tool: $t (apt-get install ffmpeg dvdauthor): no sample DVD" >&2
    [ -n "${SAMPLE_DVD_OPTIONAL:-}" ] && exit 0
    exit 77
  fi
done
. "$(dirname "${BASH_SOURCE[0]}")/stamped_outdir.sh"
stamped_outdir "$0" "$1" "sample DVD"
rm -rf "$OUT/.complete" "$OUT/VIDEO_TS" "$OUT/AUDIO_TS"
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT

FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
# OUT SECONDS FREQUENCY PATTERN: PAL MPEG-2 with AC-3, muxed as a DVD program stream
title() {
  "${FF[@]}" -f lavfi -i "$4=size=720x576:rate=25:duration=$2" \
    -f lavfi -i "sine=frequency=$3:sample_rate=48000:duration=$2" \
    -map 0:v -map 1:a \
    -c:v mpeg2video -b:v 1500k -maxrate 4000k -bufsize 1835k -g 12 -bf 2 -pix_fmt yuv420p -aspect 4:3 \
    -c:a ac3 -b:a 128k -ac 2 \
    -f dvd -muxrate 10080k -packetsize 2048 "$1"
}
title "$W/trailer.mpg" 3 660 testsrc
title "$W/main.mpg" 12 440 testsrc2

cat > "$W/sample.xml" <<EOF
<dvdauthor dest="$OUT" format="pal">
  <vmgm/>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3"/>
      <audio lang="en"/>
      <pgc><vob file="$W/trailer.mpg" chapters="0"/></pgc>
      <pgc><vob file="$W/main.mpg" chapters="0,4,8"/></pgc>
    </titles>
  </titleset>
</dvdauthor>
EOF
VIDEO_FORMAT=PAL dvdauthor -x "$W/sample.xml" > "$W/dvdauthor.log" 2>&1 || { cat "$W/dvdauthor.log" >&2; exit 1; }
echo "$SUM" > "$OUT/.complete"
echo "sample DVD in $OUT"
