#!/usr/bin/env bash
# Entries on several cores: `zorellz create`, `extract` and `test` at level
# max with --jobs 1, 2 and every core, on the sample corpus and on a larger
# tree made from it (the corpus eight times, each copy in its own folder and
# cut differently, so that no two files are the same), beside
# `tar cf - | gzip -6` and, when it is installed, `tar cf - | pigz -6`.
# Prints the best of several runs and the rate in MB/s of the files' bytes.
#
#   bash bench/jobs_bench.sh [ZORELLZ]
source "$(dirname "${BASH_SOURCE[0]}")/bench_common.sh"

cores=$(nproc)
large=$work/large
for copy in 1 2 3 4 5 6 7 8; do
  mkdir -p "$large/copy$copy"
  for file in "$corpus"/*; do
    # Each copy starts a little later into the file, so its bytes differ.
    tail -c +$((copy * 17)) "$file" >"$large/copy$copy/$(basename "$file")"
  done
done

rate() {  # name seconds tree-bytes
  awk -v name="$1" -v s="$2" -v bytes="$3" \
    'BEGIN { printf "%-22s %8.3f s %9.2f MB/s\n", name, s, bytes / 1e6 / s }'
}

create() { "$zorellz" create "$work/$2.lza" "$1/*" --recurse full --level max --jobs "$3" --quiet; }
extract() {
  rm -rf "$work/out"
  "$zorellz" extract "$work/$1.lza" "$work/out" --jobs "$2" --quiet --overwrite always
}
check() { "$zorellz" test "$work/$1.lza" --jobs "$2" --quiet; }
tar_gzip() { tar cf - -C "$1" . | gzip -6 >"$work/tree.tar.gz"; }
tar_pigz() { tar cf - -C "$1" . | pigz -6 >"$work/tree.tar.gz"; }

for tree in "$corpus" "$large"; do
  name=$(basename "$tree")
  bytes=$(find "$tree" -type f -printf '%s\n' | awk '{ t += $1 } END { print t }')
  echo "$tree: $(find "$tree" -type f | wc -l) files, $bytes bytes; best of $runs runs"
  for jobs in 1 2 "$cores"; do
    rate "create --jobs $jobs" "$(best_time create "$tree" "$name" "$jobs")" "$bytes"
    cp "$work/$name.lza" "$work/$name-jobs$jobs.lza"
  done
  for jobs in 2 "$cores"; do
    cmp "$work/$name-jobs1.lza" "$work/$name-jobs$jobs.lza"  # the same archive, whatever N
  done
  for jobs in 1 2 "$cores"; do
    rate "extract --jobs $jobs" "$(best_time extract "$name" "$jobs")" "$bytes"
  done
  for jobs in 1 2 "$cores"; do
    rate "test --jobs $jobs" "$(best_time check "$name" "$jobs")" "$bytes"
  done
  rate "tar | gzip -6" "$(best_time tar_gzip "$tree")" "$bytes"
  if command -v pigz >/dev/null; then
    rate "tar | pigz -6" "$(best_time tar_pigz "$tree")" "$bytes"
  fi
done
