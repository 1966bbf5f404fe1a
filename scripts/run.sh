#!/usr/bin/env bash
# The first command: installs what is missing, builds the desktop program and starts it.
# It works in ~/Korvane, as when started from the desktop menu (created on the first start,
# with a UA.txt, so the first START works). Arguments are passed on to korvane.
#
# usage: scripts/run.sh [ARGS...]      (build folder: $KORVANE_BUILD_DIR or build/)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KORVANE_BUILD_DIR:-build}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are empty), so no window can open;" \
    "without one use korvane-cli: scripts/build.sh && $build_dir/cli/korvane-cli --help" >&2
  exit 1
fi

scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja -DKORVANE_BUILD_GUI=ON >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target korvane korvane-cli
exec "$build_dir/app/korvane" --user-folder "$@"
