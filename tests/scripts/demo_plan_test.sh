#!/usr/bin/env bash
# README command 1 builds only what the demo runs: its user build configures without
# GoogleTest and its build plan holds the engine and no test program.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DEMO_BUILD_DIR=$work/user DEMO_PLAN_ONLY=1 bash "$root/scripts/demo.sh" >"$work/plan"
grep -q -- '-o stage/trivox_free' "$work/plan" || { echo "no build steps planned"; exit 1; }
for wanted in 'stage/trivox_free' 'stage/dvdscan' 'stage/velmo-cli' 'sample_dvd'; do
  grep -q "$wanted" "$work/plan" || { echo "the demo build does not make $wanted"; exit 1; }
done
if grep -E 'tests/|gtest|/velmo( |$)' "$work/plan" | head -5 | grep .; then
  echo "the demo build makes test programs or the windowed front end"
  exit 1
fi
grep -q '^BUILD_TESTING:BOOL=OFF' "$work/user/CMakeCache.txt"
! grep -q '^GTest_DIR:PATH=/' "$work/user/CMakeCache.txt"
echo "demo plan: $(grep -c . "$work/plan") steps, no test program"
