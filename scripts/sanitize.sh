#!/usr/bin/env bash
# Builds the engine and its tests with AddressSanitizer + UndefinedBehaviorSanitizer and with
# ThreadSanitizer, and runs them; any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

KORVANE_BUILD_DIR=build-asan scripts/build.sh -DKORVANE_SANITIZE=address,undefined \
  -DKORVANE_BUILD_BENCH=OFF -DKORVANE_BUILD_GUI=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --timeout 900 -j "$jobs" -L '^(base|text|net|policy|report|settings|crawl|tools)$'

KORVANE_BUILD_DIR=build-tsan scripts/build.sh -DKORVANE_SANITIZE=thread -DKORVANE_BUILD_BENCH=OFF \
  -DKORVANE_BUILD_GUI=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure --timeout 900 -j "$jobs" -L '^(net|policy|report|settings|crawl|e2e)$'
