#!/usr/bin/env bash
# Many small files, side by side with the system's tools: extract of a
# stored archive against `cp -r`, create --level store against `tar cf`,
# extract of a level-max archive against `gzip -dc | tar x`, and `tar xf`.
# Every tool runs in turn within each round, so that they share the
# machine's state; the best of the rounds is kept.
#
#   bash bench/small_files_bench.sh ZORELLZ [TREE]
#
# Without TREE the tree is made from the corpus in a temporary folder:
# ZORELLZ_FILES files (8000) of 1 to ZORELLZ_MAX_KB KB (4) cut from its
# files, 100 to a folder; with ZORELLZ_TREE=mixed instead 181 files from 100
# bytes to 1 MB in folders three deep, as a program's installed files are.
# ZORELLZ_RUNS sets the rounds (5).  Fails when the corpus or the tool is
# missing.
#
# The trees are made and extracted under TMPDIR, whose file system decides
# most of what is measured.  Prefer an ext4 with a journal, as installed
# systems have: on one without (tune2fs -l shows no has_journal), every new
# file scans past the inodes deleted in the last 3,000 seconds, so that each
# round is slower than the one before for every tool alike, and cp and tar
# swing from 0.2 to 4 s.  A file system image mounted on a loop device will do:
#   truncate -s 3G fs.img && mkfs.ext4 -q fs.img && mount -o loop fs.img /mnt
source "$(dirname "${BASH_SOURCE[0]}")/bench_common.sh"
runs=${ZORELLZ_RUNS:-5}
files=${ZORELLZ_FILES:-8000}
max_kb=${ZORELLZ_MAX_KB:-4}
[[ -x $zorellz ]] || { echo "small_files_bench: no tool at $zorellz" >&2; exit 1; }

# Cuts the files that awk prints as "FOLDER NAME SIZE" out of the corpus,
# each from a random place of all its files laid end to end.
cut_files() {
  local tree=$1 pool=$work/pool
  find -L "$corpus" -type f -exec cat {} + >"$pool"
  local pool_size
  pool_size=$(stat -c %s "$pool")
  while read -r folder name size; do
    ((size <= pool_size)) || size=$pool_size
    mkdir -p "$tree/$folder"
    dd if="$pool" of="$tree/$folder/$name" bs=64K iflag=skip_bytes,count_bytes \
      skip=$(((RANDOM << 15 | RANDOM) % (pool_size - size + 1))) count="$size" status=none
  done
}

# `files` files of 1 KB to max_kb KB, 100 to a folder.
small_names() {
  awk -v n="$files" -v max="$max_kb" 'BEGIN {
    srand(22)
    for (i = 0; i < n; i++) printf "d%d f%d.txt %d\n", i / 100, i, 1024 + int(rand() * (max * 1024 - 1024))
  }'
}

# 181 files whose sizes spread evenly on a log scale from 100 B to 1 MB.
mixed_names() {
  awk 'BEGIN {
    srand(181)
    split("bin lib lib/plugins share/doc share/icons share/data/maps etc", dirs, " ")
    split("dll txt dat png ini htm", kinds, " ")
    for (i = 0; i < 181; i++) {
      printf "%s m%d.%s %d\n", dirs[1 + i % 7], i, kinds[1 + i % 6], int(100 * exp(rand() * log(10486)))
    }
  }'
}

tree=${2:-}
if [[ -z $tree ]]; then
  tree=$work/tree
  RANDOM=22
  if [[ ${ZORELLZ_TREE:-} == mixed ]]; then
    mixed_names | cut_files "$tree"
  else
    small_names | cut_files "$tree"
  fi
fi
tree=$(cd "$tree" && pwd -P)
tree_files=$(find "$tree" -type f | wc -l)
((tree_files > 0)) || { echo "small_files_bench: no files in $tree" >&2; exit 1; }

"$zorellz" create "$work/store.zrl" "$tree/*" --recurse full --level store --quiet
"$zorellz" create "$work/max.zrl" "$tree/*" --recurse full --level max --quiet
tar cf - -C "$tree" . | gzip -6 >"$work/tree.tgz"
tar cf "$work/tree.tar" -C "$tree" .

# Tools older than --sync are measured without it.
has_sync=0
if "$zorellz" extract --help | grep -q -- --sync; then has_sync=1; fi
declare -A best
measure() {  # name command...
  local name=$1 start end
  shift
  rm -rf "$work/out" "$work/made.zrl" "$work/made.tar"
  mkdir "$work/out"
  sync
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  best[$name]=$(awk -v a="$start" -v b="$end" -v best="${best[$name]:-}" \
    'BEGIN { t = b - a; if (best == "" || t < best + 0) best = t; print best }')
}

for ((round = 0; round < runs; round++)); do
  measure extract_store "$zorellz" extract "$work/store.zrl" "$work/out" --overwrite always --quiet
  measure cp_r cp -r "$tree/." "$work/out"
  measure create_store "$zorellz" create "$work/made.zrl" "$tree/*" --recurse full --level store \
    --quiet
  measure tar_cf tar cf "$work/made.tar" -C "$tree" .
  measure extract_max "$zorellz" extract "$work/max.zrl" "$work/out" --overwrite always --quiet
  measure gunzip_tar sh -c "gzip -dc '$work/tree.tgz' | tar xf - -C '$work/out'"
  measure tar_xf tar xf "$work/tree.tar" -C "$work/out"
  if ((has_sync)); then
    measure extract_sync "$zorellz" extract "$work/store.zrl" "$work/out" --overwrite always \
      --quiet --sync
  fi
done

echo "tree: $tree, $tree_files files; best of $runs rounds"
ratio() { awk -v a="${best[$1]}" -v b="${best[$2]}" 'BEGIN { printf "%.2f", b / a }'; }
printf '%-14s %8.3f s   %-12s %8.3f s   %sx\n' \
  "extract store" "${best[extract_store]}" "cp -r" "${best[cp_r]}" "$(ratio extract_store cp_r)" \
  "create store" "${best[create_store]}" "tar cf" "${best[tar_cf]}" "$(ratio create_store tar_cf)" \
  "extract max" "${best[extract_max]}" "gzip -dc|tar x" "${best[gunzip_tar]}" \
  "$(ratio extract_max gunzip_tar)" \
  "extract store" "${best[extract_store]}" "tar xf" "${best[tar_xf]}" "$(ratio extract_store tar_xf)"
if ((has_sync)); then
  printf '%-14s %8.3f s   (%sx the time of the default)\n' "extract --sync" \
    "${best[extract_sync]}" "$(ratio extract_store extract_sync)"
fi

# With ZORELLZ_STRACE=1: the system calls per file of each command, counted
# by strace -c (the summary's total line).
calls_per_file() {  # command...
  rm -rf "$work/out" "$work/made.zrl"
  mkdir "$work/out"
  strace -f -c -o "$work/strace.txt" "$@" >/dev/null
  awk -v n="$tree_files" '$NF == "total" { printf "%.1f", $(NF - 2) / n }' "$work/strace.txt"
}
if [[ ${ZORELLZ_STRACE:-} == 1 ]]; then
  printf 'system calls per file: extract store %s, extract --sync %s, create store %s\n' \
    "$(calls_per_file "$zorellz" extract "$work/store.zrl" "$work/out" --quiet)" \
    "$(if ((has_sync)); then
      calls_per_file "$zorellz" extract "$work/store.zrl" "$work/out" --quiet --sync
    else echo -; fi)" \
    "$(calls_per_file "$zorellz" create "$work/made.zrl" "$tree/*" --recurse full --level store \
      --quiet)"
fi
