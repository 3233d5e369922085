#!/usr/bin/env bash
# Creation speed: the time `zorellz create` takes to archive the sample corpus
# at each level, beside `tar cf - | gzip -6` on the same files, and written
# across 360 KB disks (built in the temporary folder, then cut into parts in
# the archive's folder).  Prints the
# best of several runs, the input rate in MB/s (10^6 bytes) and the output's
# size as a share of the input.
#
#   bash bench/create_bench.sh [ZORELLZ]
#
# Without ZORELLZ the tool is built in release mode into build/ first.
# ZORELLZ_CORPUS names another input folder, ZORELLZ_RUNS the run count.
source "$(dirname "${BASH_SOURCE[0]}")/bench_common.sh"

create() {  # level
  "$zorellz" create "$work/corpus-$1.zrl" "$corpus/*" --recurse full --level "$1" --quiet
}

spanned() {  # level
  rm -f "$work/span-$1".*
  "$zorellz" create "$work/span-$1.zrl" "$corpus/*" --recurse full --level "$1" --span 360 \
    --yes --quiet
}

tar_gzip() {
  tar cf - -C "$corpus" . | gzip -6 >"$work/corpus.tar.gz"
}

echo "input: $corpus, $corpus_files files, $corpus_bytes bytes; best of $runs runs"
printf '%-16s %10s %14s %17s %8s\n' method time rate output ratio
for level in store fast max; do
  report "zorellz $level" "$(best_time create "$level")" "$work/corpus-$level.zrl"
done
for level in store max; do
  seconds=$(best_time spanned "$level")
  cat "$work/span-$level".* >"$work/parts-$level"  # the parts' bytes together
  report "$level, 360 KB" "$seconds" "$work/parts-$level"
done
report "tar | gzip -6" "$(best_time tar_gzip)" "$work/corpus.tar.gz"
