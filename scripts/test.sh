#!/usr/bin/env bash
# Installs the dependencies, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir "${KORVANE_BUILD_DIR:-build}" --output-on-failure --timeout 600 -j "$(nproc)"
