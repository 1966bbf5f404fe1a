#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark. Idempotent.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-l10n-tools qt6-tools-dev
  libssl-dev openssl libuchardet-dev libxml2-dev zlib1g-dev liburiparser-dev libcld2-dev
  nlohmann-json3-dev
  qt6-charts-dev libqt6opengl6-dev libjs-chart.js help2man
  nginx-light tinyproxy curl time wget python3.11-doc
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
