#!/usr/bin/env bash
# Checks the include graph against the layers: a file may include its own
# layer and the layers below it, never a higher one or a sibling family; FFmpeg
# headers (<libav*>, <libsw*>, <libpostproc*>) only inside engine/modules/ffmpeg/, plugins/ and
# tests/. Prints one line per offending include and exits 1 when there is any.
#
# Usage: scripts/check_layers.sh [source-root]   (default: this repository)
#
# Layers, lowest first (a folder may include what is below it):
#   platform < platform/dshow < common < common/dvd < plugin-api < engine/graph
#   < engine/modules/{bitstream,codecs} < engine/modules/ffmpeg
#   < engine/modules/<every other family: filters, dvd, pass, acm, image, player, ...>
#     (engine/modules/dshow sits above engine/modules/filters)
#   < engine/registry < engine/jobs < engine/main.cpp
#   common/dvd < frontend/model < frontend/ui < frontend/controls < frontend/dialogs < frontend/app
# plugins/ include only platform/, common/ and plugin-api/; tools/, tests/ and
# bench/ (and frontend/tools/) include anything. A source under engine/ or frontend/ outside these
# folders is reported too.
set -euo pipefail

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi

root=${1:-"$(dirname "$0")/.."}
if [[ ! -d "$root" ]]; then
  echo "check_layers: no such folder: $root" >&2
  exit 2
fi
cd "$root"

sources() {
  find . \( -name build -o -name 'build-*' -o -name '.[!.]*' \) -prune -o -type f \
    \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' \) -print | sed 's|^\./||' | sort
}

all_files=$(mktemp)
trap 'rm -f "$all_files"' EXIT
find . \( -name build -o -name 'build-*' -o -name '.[!.]*' \) -prune -o -type f -print | sed 's|^\./||' >"$all_files"

# One grep over every source: path:line:text for each include.
sources | tr '\n' '\0' | xargs -0 -r grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' -- \
  | awk -v files="$all_files" '
function layer(p) {
  if (p == "engine/main.cpp") return "engine/main"
  if (p ~ /^platform\/dshow\//) return "platform/dshow"
  if (p ~ /^platform\//) return "platform"
  if (p ~ /^common\/dvd\//) return "common/dvd"
  if (p ~ /^common\//) return "common"
  if (p ~ /^plugin-api\//) return "plugin-api"
  if (p ~ /^engine\/graph\//) return "engine/graph"
  if (p ~ /^engine\/modules\/[^\/]+\//) { split(p, part, "/"); return "engine/modules/" part[3] }
  if (p ~ /^engine\/registry\//) return "engine/registry"
  if (p ~ /^engine\/jobs\//) return "engine/jobs"
  if (p ~ /^frontend\/(model|ui|controls|dialogs|app)\//) { split(p, part, "/"); return "frontend/" part[2] }
  if (p ~ /^frontend\/tools\//) return "free"  # developer tools over the model
  if (p ~ /^(engine|frontend)\//) return "none"
  if (p ~ /^plugins\//) return "plugins"
  return "free"  # tools/, tests/, bench/ and anything else outside the product folders
}
# Layers directly below each layer (the module families are handled in reaches()).
BEGIN {
  below["platform/dshow"] = "platform"
  below["common"] = "platform/dshow"
  below["common/dvd"] = "common"
  below["plugin-api"] = "common/dvd"
  below["engine/graph"] = "plugin-api"
  below["engine/modules/bitstream"] = "engine/graph"
  below["engine/modules/codecs"] = "engine/graph"
  below["engine/modules/ffmpeg"] = "engine/modules/bitstream engine/modules/codecs"
  below["engine/jobs"] = "engine/registry"
  below["engine/main"] = "engine/jobs"
  below["frontend/model"] = "common/dvd"
  below["frontend/ui"] = "frontend/model"
  below["frontend/controls"] = "frontend/ui"
  below["frontend/dialogs"] = "frontend/controls"
  below["frontend/app"] = "frontend/dialogs"
  while ((getline line < files) > 0) exists[line] = 1
  close(files)
  bad = 0
}
function is_family(l) { return l ~ /^engine\/modules\// }
function is_upper_family(l) {
  return is_family(l) && l != "engine/modules/bitstream" && l != "engine/modules/codecs" && l != "engine/modules/ffmpeg"
}
# True when layer "from" may include layer "to" (to is from or below it).
function reaches(from, to,    n, i, next_layers) {
  if (from == to) return 1
  if (from == "engine/registry") return is_family(to) || reaches("engine/modules/ffmpeg", to)
  if (from == "engine/modules/dshow") return to == "engine/modules/filters" || reaches("engine/modules/ffmpeg", to)
  if (is_upper_family(from)) return reaches("engine/modules/ffmpeg", to)
  if (!(from in below)) return 0
  n = split(below[from], next_layers, " ")
  for (i = 1; i <= n; ++i)
    if (reaches(next_layers[i], to)) return 1
  return 0
}
function report(msg) { print msg; ++bad }
{
  # path:line:text
  colon1 = index($0, ":")
  path = substr($0, 1, colon1 - 1)
  rest = substr($0, colon1 + 1)
  colon2 = index(rest, ":")
  lineno = substr(rest, 1, colon2 - 1)
  text = substr(rest, colon2 + 1)
  from = layer(path)
  where = path ":" lineno

  if (match(text, /<[^>]*>/)) {
    header = substr(text, RSTART + 1, RLENGTH - 2)
    if (header ~ /^lib(av|sw|postproc)/ && path !~ /^(engine\/modules\/ffmpeg|plugins|tests)\//)
      report(where ": FFmpeg header <" header "> outside engine/modules/ffmpeg/")
    next
  }
  if (!match(text, /"[^"]*"/)) next
  header = substr(text, RSTART + 1, RLENGTH - 2)
  target = header
  if (!(target in exists)) {
    dir = path; sub(/\/[^\/]*$/, "", dir)
    target = (dir == path ? header : dir "/" header)
    if (!(target in exists)) next  # a system or generated header
  }
  if (header ~ /^lib(av|sw|postproc)/ && path !~ /^(engine\/modules\/ffmpeg|plugins|tests)\//)
    report(where ": FFmpeg header \"" header "\" outside engine/modules/ffmpeg/")
  to = layer(target)
  if (from == "free") next
  if (from == "none") { report(where ": " path " is in no layer folder"); next }
  if (to == "none") { report(where ": includes \"" header "\", which is in no layer folder"); next }
  if (from == "plugins") {
    if (to != "plugins" && to != "platform" && to != "common" && to != "plugin-api")
      report(where ": a plug-in includes \"" header "\" (" to "); plug-ins use platform/, common/ and plugin-api/ only")
    next
  }
  if (to == "free" || to == "plugins") { report(where ": includes \"" header "\" from " to " folders"); next }
  if (!reaches(from, to)) report(where ": " from " includes \"" header "\" from " to ", which is not below it")
}
END {
  if (bad > 0) {
    print bad " include(s) break the layers" > "/dev/stderr"
    exit 1
  }
}
'
