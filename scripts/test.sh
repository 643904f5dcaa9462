#!/usr/bin/env bash
# Installs the dependencies, builds every target and runs every test.
# TRIVOX_TEST_PRESETS picks the build presets (default: debug, then asan for every test
# and tsan for the threaded groups).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

presets=${TRIVOX_TEST_PRESETS:-debug asan tsan}
jobs=$(nproc)
for preset in $presets; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  case "$preset" in
    tsan) ctest --preset "$preset" -j "$jobs" --repeat until-pass:2 -L "${TRIVOX_TSAN_LABELS:-threads}" ;;
    *) ctest --preset "$preset" -j "$jobs" --repeat until-pass:2 ;;
  esac
done
