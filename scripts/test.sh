#!/usr/bin/env bash
# Installs the dependencies, builds, and runs the whole test suite: the unit and end-to-end
# tests, then the same under AddressSanitizer + UBSan and ThreadSanitizer, then every fuzz
# target on its corpus and kept crashing inputs and briefly on fresh inputs.
# KORVANE_QUICK=1 runs only the first part.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir "${KORVANE_BUILD_DIR:-build}" --output-on-failure --timeout 600 -j "$(nproc)"
if [ "${KORVANE_QUICK:-0}" != 1 ]; then
  scripts/sanitize.sh
  scripts/fuzz.sh --replay
  KORVANE_FUZZ_JOBS=$(nproc) scripts/fuzz.sh 10
fi
