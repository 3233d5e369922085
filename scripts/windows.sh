#!/usr/bin/env bash
# The Windows build: installs the Debian packages it is missing (the
# MinGW-w64 cross compiler, wine, GoogleTest's sources), then configures and
# builds the library, zorellz.exe and the library's tests for 64-bit Windows
# into the folder given as $1 (default build-win) with the CMake options
# that follow.  Run the tests under wine with
#     ctest --test-dir build-win --output-on-failure
# Idempotent: a second run installs nothing and rebuilds only what changed.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64 wine wine64 googletest libcli11-dev
          nlohmann-json3-dev)

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/install-missing.sh"
install_missing "${packages[@]}"

build=${1:-$root/build-win}
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DZORELLZ_BUILD_UI=OFF "$@" >/dev/null
cmake --build "$build" -j2
