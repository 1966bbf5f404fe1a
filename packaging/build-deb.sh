#!/usr/bin/env bash
# Builds the Debian package build-deb/korvane_<version>_<arch>.deb: a release build of the
# two programs alone (no tests, no benchmarks) with Debian's hardening flags, then
# `cpack -G DEB`. Further arguments go to cmake (e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache).
# Install it with: apt-get install ./build-deb/korvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KORVANE_DEB_BUILD_DIR:-build-deb}
# Fortified functions, stack protector, read-only relocations and immediate binding, as a
# Debian build has them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF \
  -DKORVANE_BUILD_BENCH=OFF -DKORVANE_BUILD_GUI=ON -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
(cd "$build_dir" && cpack -G DEB >/dev/null)
ls "$build_dir"/korvane_*.deb
