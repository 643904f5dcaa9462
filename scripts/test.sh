#!/usr/bin/env bash
# Installs the dependencies, checks the include layers, builds and runs the tests, then installs
# the programs of the first tree that has them into a temporary prefix and converts with them
# (scripts/install_check.sh; TRIVOX_SKIP_INSTALL_CHECK=1 leaves it out).
#
# TRIVOX_TEST_PRESETS picks the build presets: by default "asan" (address and undefined-behaviour
# sanitizers, every test) and "tsan" (thread sanitizer, the tests labelled "threads": those whose
# own program starts threads of our code, listed in tests/thread_tests.cmake; that tree builds
# only them); "debug" and "release" run every test too. TRIVOX_TEST_LABELS narrows each run to
# labels, as a ctest -L pattern (in "tsan", name labels its tests have).
# A test runs once: a failure fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== include layers"
bash scripts/check_layers.sh

presets=${TRIVOX_TEST_PRESETS:-asan tsan}
jobs=$(nproc)
for preset in $presets; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs" ${TRIVOX_TEST_LABELS:+-L "$TRIVOX_TEST_LABELS"}
done

# The install check installs the first tree built here that has the programs (the tsan tree has
# only its tests), or makes a user build of its own.
if [ -z "${TRIVOX_SKIP_INSTALL_CHECK:-}" ]; then
  echo "== install check"
  from=""
  for preset in $presets; do
    if [ "$preset" != tsan ]; then
      from=build/$preset
      break
    fi
  done
  bash scripts/install_check.sh ${from:+--from "$from"}
fi
