#!/usr/bin/env bash
# Installs the dependencies, checks the include layers, builds every target and runs every test,
# then installs a user build into a temporary prefix and converts with it (scripts/install_check.sh;
# TRIVOX_SKIP_INSTALL_CHECK=1 leaves it out).
# TRIVOX_TEST_PRESETS picks the build presets (default: debug, asan and tsan, each running
# every test; TRIVOX_TEST_LABELS narrows the run to labels, as a ctest -L pattern).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== include layers"
bash scripts/check_layers.sh

presets=${TRIVOX_TEST_PRESETS:-debug asan tsan}
jobs=$(nproc)
for preset in $presets; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs" --repeat until-pass:2 ${TRIVOX_TEST_LABELS:+-L "$TRIVOX_TEST_LABELS"}
done

if [ -z "${TRIVOX_SKIP_INSTALL_CHECK:-}" ]; then
  echo "== install check"
  bash scripts/install_check.sh
fi
