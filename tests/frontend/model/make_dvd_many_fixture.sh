#!/usr/bin/env bash
# make_dvd_many_fixture.sh OUTDIR - a DVD folder with more than the title scan's tables hold.
#
#   OUTDIR/many/  PAL, one title of 42 s: MPEG-2 352x288, 105 chapters (one every 0.4 s),
#                 8 AC-3 audio tracks (track n a sine of 300 + 100 n Hz, languages in LANGS
#                 order) and 32 subpicture streams (stream s shows one box from 0.5 s).
#
# Tools (Debian 12): ffmpeg, dvdauthor (with spumux). Exit codes: 0 done, 77 a tool is
# missing (CTest skip), other = failure. A stamp OUTDIR/.complete holding the checksum of
# this script makes later runs return at once.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
for t in ffmpeg dvdauthor spumux; do
  command -v "$t" >/dev/null || { echo "missing tool: $t (apt-get install ffmpeg dvdauthor)" >&2; exit 77; }
done
. "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/stamped_outdir.sh"
stamped_outdir "$0" "$1" "many-track DVD fixture"
rm -f "$OUT/.complete"
W="$OUT/work"
rm -rf "$W" "$OUT/many"
mkdir -p "$W"
cd "$W"

FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
BX=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact -threads 1)
SECONDS_LONG=42
LANGS=(en de fr es it nl sv da)

# One GOP of 10 frames (0.4 s) without B-frames: one VOBU per GOP, so a chapter every 0.4 s
# lands on its own VOBU.
inputs=(-f lavfi -i "testsrc2=size=352x288:rate=25:duration=$SECONDS_LONG")
maps=(-map 0:v)
for n in 0 1 2 3 4 5 6 7; do
  inputs+=(-f lavfi -i "sine=frequency=$((300 + 100 * n)):sample_rate=48000:duration=$SECONDS_LONG")
  maps+=(-map $((n + 1)):a)
done
export VIDEO_FORMAT=PAL
"${FF[@]}" "${inputs[@]}" "${maps[@]}" "${BX[@]}" \
  -c:v mpeg2video -b:v 200k -maxrate 1500k -bufsize 1835k -g 10 -bf 0 -pix_fmt yuv420p -aspect 4:3 \
  -c:a ac3 -b:a 64k -ac 2 -f dvd -muxrate 10080k -packetsize 2048 av.mpg

"${FF[@]}" -f lavfi -i "color=c=black@0.0:s=352x288,format=rgba" \
  -vf "geq=r='255*between(X,100,251)*between(Y,200,239)':g='255*between(X,100,251)*between(Y,200,239)':b='0':a='255*between(X,100,251)*between(Y,200,239)'" \
  -frames:v 1 box.png
cat > spu.xml <<'EOF'
<subpictures><stream><spu start="00:00:00.50" end="00:00:02.00" image="box.png"/></stream></subpictures>
EOF
cp av.mpg s.mpg
for s in $(seq 0 31); do
  spumux -s "$s" spu.xml < s.mpg > s2.mpg 2>>spumux.log
  mv s2.mpg s.mpg
done

chapters=$(awk 'BEGIN { for (i = 0; i < 105; i++) printf "%s%.1f", (i ? "," : ""), i * 0.4 }')
{
  echo "<dvdauthor dest=\"$OUT/many\" format=\"pal\"><vmgm/><titleset><titles>"
  echo '<video format="pal" aspect="4:3"/>'
  for l in "${LANGS[@]}"; do echo "<audio lang=\"$l\"/>"; done
  for s in $(seq 0 31); do echo "<subpicture lang=\"${LANGS[$((s % 8))]}\"/>"; done
  echo "<pgc><vob file=\"s.mpg\" chapters=\"$chapters\"/></pgc>"
  echo '</titles></titleset></dvdauthor>'
} > many.xml
dvdauthor -x many.xml > dvdauthor.log 2>&1 || { cat dvdauthor.log; exit 1; }

cd "$OUT"
[ -n "${KEEP_WORK:-}" ] || rm -rf "$W"
echo "$SUM" > "$OUT/.complete"
