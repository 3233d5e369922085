#!/usr/bin/env bash
# The whole test suite: builds everything and runs every test with CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZORELLZ_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release "$@"
ctest --test-dir "$build" --output-on-failure -j2
