#!/usr/bin/env bash
# Installs the dependencies, builds, and runs the whole test suite: the unit and end-to-end
# tests, then the same under AddressSanitizer + UBSan and ThreadSanitizer, then every fuzz
# target on its corpus and kept crashing inputs and briefly on fresh inputs.
# KORVANE_QUICK=1 runs only the first part.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
{
  scripts/install-deps.sh
  scripts/build.sh
  ctest --test-dir "${KORVANE_BUILD_DIR:-build}" --output-on-failure --timeout 600 -j "$(nproc)"
  if [ "${KORVANE_QUICK:-0}" != 1 ]; then
    scripts/sanitize.sh
    scripts/fuzz.sh --replay
    KORVANE_FUZZ_JOBS=$(nproc) scripts/fuzz.sh 10
  fi
} 2>&1 | tee "$log"
# Every ctest run above passed (a failure stops the script); one line sums them up.
total=$(grep -oE 'tests failed out of [0-9]+' "$log" | awk '{sum += $5} END {print sum + 0}')
echo "all: ${total} passed, 0 failed"
