#!/usr/bin/env bash
# thread_census.sh BUILD_DIR [CTEST OPTION...]: runs every test of an address-sanitizer (or plain) build with
# scripts/thread_census.c preloaded and prints the tests that start threads of their own code
# in their own process: the list the thread-sanitizer pass runs (tests/thread_tests.cmake).
set -euo pipefail
build=${1:?usage: thread_census.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -shared -fPIC -O2 -o "$work/census.so" "$root/scripts/thread_census.c" -ldl
export TRIVOX_CENSUS_LOG=$work/census.log
export ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0
LD_PRELOAD=$work/census.so ctest --test-dir "$build" -j "$(nproc)" "${@:2}" >"$work/ctest.log" 2>&1 || {
  grep -E 'tests failed|\*\*\*|Failed' "$work/ctest.log" >&2 || true
}
build_abs=$(cd "$build" && pwd)
touch "$TRIVOX_CENSUS_LOG"
# Lines: <namespace ending in the test name> thread <program>. A test counts when the test
# program itself starts a thread of our code (a program it runs is tested under the sanitizer by
# the tests of the code it runs).
awk -v build="$build_abs" '
  { test = $1; sub(/^trivox-test-[0-9a-f]+-/, "", test) }
  $2 == "thread" && $3 == build "/tests/" test { print test }
' "$TRIVOX_CENSUS_LOG" | sort -u
