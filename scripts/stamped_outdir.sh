# Sourced by the disc makers (scripts/make_sample_dvd.sh, tests/fixtures/make_dvd_fixtures.sh).
#
# stamped_outdir SCRIPT OUTDIR WHAT: creates OUTDIR and sets OUT to its absolute path
# (never /) and SUM to the checksum of SCRIPT and this file. When OUT/.complete already
# holds SUM, says "WHAT up to date in OUT" and exits 0: the discs there are current.
stamped_outdir() {
  OUT=$2
  mkdir -p "$OUT"
  OUT=$(cd "$OUT" && pwd)
  [ "$OUT" != / ] || { echo "refusing to use / as OUTDIR" >&2; exit 2; }
  SUM=$(cat "$1" "${BASH_SOURCE[0]}" | sha256sum | cut -d' ' -f1)
  if [ -f "$OUT/.complete" ] && [ "$(cat "$OUT/.complete")" = "$SUM" ]; then
    echo "$3 up to date in $OUT"; exit 0
  fi
}
