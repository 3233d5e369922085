#!/usr/bin/env bash
# The main job on the built-in sample data: builds the zorellz tool and runs
# it on the sample corpus: the CRC-32 of every file, then every file through
# both codecs and back, with the compressed sizes and a check that each
# result is the original.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
corpus=${ZORELLZ_CORPUS:-$root/../shared/corpus}
zorellz="$root/build/cli/zorellz"
"$zorellz" crc32 "$corpus"/*

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo
printf '%-24s %10s %10s %10s  %s\n' file bytes lzss lzh "back to the original"
for file in "$corpus"/*; do
  [[ -f $file ]] || continue
  name=$(basename "$file")
  verdict=yes
  for method in lzss lzh; do
    "$zorellz" codec encode --method $method "$file" "$work/$name.$method"
    "$zorellz" codec decode --method $method "$work/$name.$method" "$work/$name"
    cmp -s "$file" "$work/$name" || verdict="NO ($method)"
  done
  printf '%-24s %10d %10d %10d  %s\n' "$name" "$(stat -c %s "$file")" \
    "$(stat -c %s "$work/$name.lzss")" "$(stat -c %s "$work/$name.lzh")" "$verdict"
  [[ $verdict == yes ]]
done
