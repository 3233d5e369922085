#!/usr/bin/env bash
# Runs a Windows program under wine in a private prefix: $ZORELLZ_WINEPREFIX
# when set, else wine-prefix/ in the build folder that the program lies in
# (the folder that holds CMakeCache.txt, found by walking up from it).
set -euo pipefail
program=$1
shift
if [[ -z ${ZORELLZ_WINEPREFIX:-} ]]; then
  folder=$(cd "$(dirname "$program")" && pwd)
  while [[ $folder != / && ! -f $folder/CMakeCache.txt ]]; do folder=$(dirname "$folder"); done
  ZORELLZ_WINEPREFIX=$folder/wine-prefix
fi
export WINEPREFIX=$ZORELLZ_WINEPREFIX WINEDEBUG=-all
exec wine "$program" "$@"
