#!/usr/bin/env bash
# Builds the Debian package build-deb/korvane_<version>_<arch>.deb: a release build of the
# two programs alone (no tests, no benchmarks), then `cpack -G DEB`.
# Install it with: apt-get install ./build-deb/korvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KORVANE_DEB_BUILD_DIR:-build-deb}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF \
  -DKORVANE_BUILD_BENCH=OFF -DKORVANE_BUILD_GUI=ON >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
(cd "$build_dir" && cpack -G DEB >/dev/null)
ls "$build_dir"/korvane_*.deb
