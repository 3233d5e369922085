#!/usr/bin/env bash
# Extraction speed: the time `zorellz extract` takes to unpack an archive of
# the sample corpus made at each level, beside `gzip -d | tar x` on a
# `tar | gzip -6` of the same files.  Prints the best of several runs, the
# output rate in MB/s (10^6 bytes written) and the archive's size as a share
# of the files.
#
#   bash bench/extract_bench.sh [ZORELLZ]
#
# Without ZORELLZ the tool is built in release mode into build/ first.
# ZORELLZ_CORPUS names another input folder, ZORELLZ_RUNS the run count.
source "$(dirname "${BASH_SOURCE[0]}")/bench_common.sh"

# Each run unpacks into an empty folder of its own, so that no run replaces
# files.
fresh_folder() {
  mktemp -d "$work/out-XXXXXX"
}

extract() {  # level
  "$zorellz" extract "$work/corpus-$1.zrl" "$(fresh_folder)" --overwrite always --quiet
}

gunzip_tar() {
  local folder
  folder=$(fresh_folder)
  gzip -dc "$work/corpus.tar.gz" | tar xf - -C "$folder"
}

for level in store fast max; do
  "$zorellz" create "$work/corpus-$level.zrl" "$corpus/*" --recurse full --level "$level" --quiet
done
tar cf - -C "$corpus" . | gzip -6 >"$work/corpus.tar.gz"

echo "output: $corpus, $corpus_files files, $corpus_bytes bytes; best of $runs runs"
printf '%-16s %10s %14s %17s %8s\n' method time rate archive ratio
for level in store fast max; do
  report "zorellz $level" "$(best_time extract "$level")" "$work/corpus-$level.zrl"
done
report "gzip -d | tar x" "$(best_time gunzip_tar)" "$work/corpus.tar.gz"
