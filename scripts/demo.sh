#!/usr/bin/env bash
# Installs the dependencies, builds the release programs and runs the engine on
# its built-in default job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

stage=build/release/stage
echo "== running: $stage/trivox_free -m test"
set +e
"$stage/trivox_free" -m test
status=$?
set -e
echo "== engine exit status $status"
exit $status
