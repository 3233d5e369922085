#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds into the folder given as $1 with the CMake options
# that follow.  Idempotent: a second run installs nothing and rebuilds only
# what changed.  The Windows build has its own script, scripts/windows.sh.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev zlib1g-dev libcli11-dev nlohmann-json3-dev attr
          qt6-base-dev fonts-dejavu-core help2man man-db pkg-config dpkg-dev)

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/install-missing.sh"
install_missing "${packages[@]}"

build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
# ZORELLZ_BUILD_TARGET, when set, builds that target only.
cmake --build "$build" ${ZORELLZ_BUILD_TARGET:+--target "$ZORELLZ_BUILD_TARGET"}
