#!/usr/bin/env bash
# The main job on the built-in sample data: builds the zorellz tool and runs
# it on the sample corpus (CRC-32 of every file).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
corpus=${ZORELLZ_CORPUS:-$root/../shared/corpus}
"$root/build/cli/zorellz" crc32 "$corpus"/*
