#!/usr/bin/env bash
# The main job on the built-in sample data: builds the zorellz tool and runs
# it on the sample corpus: the CRC-32 of every file, then every file through
# the LZSS codec and back, with the compressed size and a check that the
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
printf '%-24s %10s %10s  %s\n' file bytes lzss "back to the original"
for file in "$corpus"/*; do
  [[ -f $file ]] || continue
  name=$(basename "$file")
  "$zorellz" codec encode --method lzss "$file" "$work/$name.lzss"
  "$zorellz" codec decode --method lzss "$work/$name.lzss" "$work/$name"
  verdict=$(cmp -s "$file" "$work/$name" && echo yes || echo "NO")
  printf '%-24s %10d %10d  %s\n' "$name" "$(stat -c %s "$file")" \
    "$(stat -c %s "$work/$name.lzss")" "$verdict"
  [[ $verdict == yes ]]
done
