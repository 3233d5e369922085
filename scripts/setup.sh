#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds into the folder given as $1 with the CMake options
# that follow.  Idempotent: a second run installs nothing and rebuilds only
# what changed.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev zlib1g-dev libcli11-dev nlohmann-json3-dev attr
          qt6-base-dev fonts-dejavu-core)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
# ZORELLZ_BUILD_TARGET, when set, builds that target only.
cmake --build "$build" ${ZORELLZ_BUILD_TARGET:+--target "$ZORELLZ_BUILD_TARGET"}
