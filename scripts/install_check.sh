#!/usr/bin/env bash
# install_check.sh [BUILD_DIR]: a user build (Release, BUILD_TESTING=OFF, GoogleTest
# not even looked for) installed into a temporary prefix; the installed engine, run
# through its link in <prefix>/bin, converts the sample DVD's main title with the
# demo's job, and the output is checked (H.264 + AAC, 4:3 display, the title's length).
#
# install_check.sh --from BUILD_DIR: installs that already built tree instead (the test run's
# sanitizer tree, so that it builds the programs once), after checking that a user build
# configures without GoogleTest.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/user_config.sh
if [ "${1:-}" = "--from" ]; then
  build=${2:?install_check.sh --from BUILD_DIR}
  configured=$(mktemp -d)
  cmake -S . -B "$configured" "${TRIVOX_USER_CONFIG[@]}" >/dev/null || {
    rm -rf "$configured"
    echo "install check: a user build does not configure" >&2
    exit 1
  }
  rm -rf "$configured"
else
  build=${1:-build/install-check}
  cmake -S . -B "$build" "${TRIVOX_USER_CONFIG[@]}" >/dev/null
  cmake --build "$build" -j "$(nproc)"
fi

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
program=$(dirname "$(readlink -f "$prefix/bin/trivox_free")")
disc=$PWD/$build/stage/sample_dvd
if [ ! -d "$disc/VIDEO_TS" ]; then
  echo "install check: no sample DVD was built (it needs ffmpeg and dvdauthor)" >&2
  exit 1
fi

out=$(bash scripts/demo_job.sh "$program" "$disc" "$prefix/out" "$program/default_0.dat")
(cd / && "$prefix/bin/trivox_free" -m test >"$prefix/engine.log") || {
  tail -20 "$prefix/engine.log" >&2
  echo "install check: the installed engine failed" >&2
  exit 1
}
probe=$(ffprobe -v error -show_entries stream=codec_name,display_aspect_ratio:format=duration -of compact=p=0 "$out")
echo "$probe"
grep -q '^codec_name=h264|display_aspect_ratio=4:3$' <<<"$probe" &&
  grep -q '^codec_name=aac' <<<"$probe" &&
  awk -F= '/^duration=/ { exit !($2 > 11.5 && $2 < 12.5) }' <<<"$probe" || {
  echo "install check: unexpected output $out" >&2
  exit 1
}
[ -x "$prefix/bin/velmo" ] && [ -f "$prefix/share/applications/velmo.desktop" ] || {
  echo "install check: velmo or its menu entry was not installed" >&2
  exit 1
}
for size in 16 32 48 256; do
  [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/velmo.png" ] || {
    echo "install check: the ${size}x${size} program icon was not installed" >&2
    exit 1
  }
done
grep -qx 'Icon=velmo' "$prefix/share/applications/velmo.desktop" || {
  echo "install check: the menu entry names no icon" >&2
  exit 1
}
desktop-file-validate "$prefix/share/applications/velmo.desktop" || {
  echo "install check: the menu entry does not validate" >&2
  exit 1
}
for program in trivox_free trivox_job trivox_ctl dvdscan dvdcat velmo velmo-cli; do
  version=$("$prefix/bin/$program" --version) && [[ "$version" =~ ^$program\ [0-9]+\.[0-9]+ ]] || {
    echo "install check: $program --version answered '$version'" >&2
    exit 1
  }
  page=$prefix/share/man/man1/$program.1
  [ -f "$page" ] && MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q "^NAME" || {
    echo "install check: no readable manual page for $program" >&2
    exit 1
  }
done
[ -f "$prefix/share/doc/trivox/LICENSE" ] || {
  echo "install check: the licence was not installed" >&2
  exit 1
}
echo "install check: the installed engine converted the sample title"
