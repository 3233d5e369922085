#!/usr/bin/env bash
# Installs a build into a scratch prefix and builds the example program
# against what was installed, both ways a program consumes the library:
#   CMake       find_package(zorellz 1 CONFIG REQUIRED), zorellz::archive
#   pkg-config  g++ -std=c++20 ... $(pkg-config --cflags --libs zorellz)
# then has each list and extract a plain archive and a self-extracting file
# made by the tool.
#   bash scripts/check-install.sh BUILD_FOLDER ZORELLZ_TOOL
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

# Outside the source tree, so that nothing but the installed files is found.
cp "$root/examples/list_and_extract.cpp" "$root/examples/CMakeLists.txt" "$work/"
cmake -S "$work" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
bash "$root/examples/check_example.sh" "$work/cmake-build/zorellz-example" "$tool" "$work/cmake-run"

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046  # the flags are words
g++ -std=c++20 -o "$work/pkg-config-example" "$work/list_and_extract.cpp" \
  $(pkg-config --cflags --libs zorellz)
bash "$root/examples/check_example.sh" "$work/pkg-config-example" "$tool" "$work/pkg-config-run"
echo "installed library: built and ran the example with CMake and with pkg-config"
