#!/usr/bin/env bash
# The layer check on small trees: a clean tree passes; each kind of wrong
# include makes it fail and names the file.
set -uo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check_layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# put FILE [INCLUDE...]: writes a source file that includes each argument
# (quoted names in double quotes, <system> names as they stand).
put() {
  local file=$1
  shift
  mkdir -p "$(dirname "$file")"
  : >"$file"
  for inc in "$@"; do
    if [[ "$inc" == \<* ]]; then echo "#include $inc" >>"$file"; else echo "#include \"$inc\"" >>"$file"; fi
  done
}

# A tree that keeps the layers.
base_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree"
  cd "$work/tree" || exit 1
  put platform/p.h
  put platform/dshow/l.h platform/p.h
  put common/c.h platform/p.h platform/dshow/l.h
  put common/dvd/d.h common/c.h
  put plugin-api/a.h common/c.h
  put engine/graph/g.h plugin-api/a.h
  put engine/modules/bitstream/b.h engine/graph/g.h
  put engine/modules/ffmpeg/f.cpp engine/modules/bitstream/b.h '<libavcodec/avcodec.h>'
  put engine/modules/filters/v.h engine/modules/ffmpeg/f.cpp
  put engine/modules/dvd/r.h engine/modules/ffmpeg/f.cpp common/dvd/d.h
  put engine/modules/dshow/s.h engine/modules/filters/v.h platform/dshow/l.h
  put engine/registry/r.h engine/modules/filters/v.h engine/modules/dvd/r.h
  put engine/jobs/j.h engine/registry/r.h
  put engine/main.cpp engine/jobs/j.h
  put plugins/x/x.cpp plugin-api/a.h common/c.h plugins/x/x.h '<libswscale/swscale.h>'
  put plugins/x/x.h
  put tools/t.cpp engine/jobs/j.h
  put tests/engine/t.cpp engine/jobs/j.h tools/t.cpp '<libavutil/frame.h>'
  cd - >/dev/null || exit 1
}

# expect PASS|FAIL NAME [FILE INCLUDE...]: adds the file to a fresh base tree and runs the check.
expect() {
  local want=$1 name=$2
  shift 2
  base_tree
  if [[ $# -gt 0 ]]; then (cd "$work/tree" && put "$@"); fi
  local out rc
  out=$("$check" "$work/tree" 2>&1)
  rc=$?
  if [[ "$want" == PASS && $rc -ne 0 ]] || [[ "$want" == FAIL && $rc -ne 1 ]]; then
    echo "FAILED: $name: exit $rc, wanted $want"
    echo "$out" | sed 's/^/    /'
    failures=$((failures + 1))
  elif [[ "$want" == FAIL && $# -gt 0 && "$out" != *"$1"* ]]; then
    echo "FAILED: $name: the report does not name $1"
    echo "$out" | sed 's/^/    /'
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

expect PASS "the layered tree"
expect FAIL "common includes the job runners" common/bad.h engine/jobs/j.h
expect FAIL "platform includes common" platform/bad.cpp common/c.h
expect FAIL "the graph includes a module family" engine/graph/bad.h engine/modules/ffmpeg/f.cpp
expect FAIL "a module family includes the registry" engine/modules/ffmpeg/bad.cpp engine/registry/r.h
expect FAIL "one family includes a sibling family" engine/modules/filters/bad.h engine/modules/dvd/r.h
expect FAIL "the DVD family includes the job runners" engine/modules/dvd/bad.cpp engine/jobs/j.h
expect FAIL "FFmpeg outside the FFmpeg family" engine/modules/filters/bad.cpp '<libavutil/pixfmt.h>'
expect FAIL "FFmpeg in a tool" tools/bad.cpp '<libswscale/swscale.h>'
expect FAIL "a plug-in includes the engine" plugins/x/bad.cpp engine/graph/g.h
expect FAIL "the engine includes a test" engine/jobs/bad.cpp tests/engine/t.cpp
expect FAIL "a source outside every layer folder" engine/core/bad.cpp engine/graph/g.h
expect FAIL "platform includes the filter-graph layer" platform/bad.h platform/dshow/l.h
expect FAIL "the filter-graph layer includes common" platform/dshow/bad.h common/c.h
expect FAIL "the filters family includes the DirectShow family" engine/modules/filters/bad.h engine/modules/dshow/s.h
expect FAIL "the DirectShow family includes the DVD family" engine/modules/dshow/bad.h engine/modules/dvd/r.h
expect PASS "a relative include in the same folder" engine/modules/filters/w.cpp v.h

if [[ $failures -ne 0 ]]; then
  echo "$failures case(s) failed"
  exit 1
fi
