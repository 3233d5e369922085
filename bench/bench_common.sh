# Shared by the archive benchmarks (sourced, not run): the tool, the corpus,
# a scratch folder removed at exit, and timing and reporting helpers.
#
# Sets: root, corpus, runs, zorellz, work, corpus_bytes, corpus_files.
# ZORELLZ_CORPUS names another input folder, ZORELLZ_RUNS the run count; the
# first argument of the benchmark names the tool, else it is built in
# release mode into build/.
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# A corpus that is a link is followed; a missing or empty one stops the
# benchmark instead of giving rates of nothing.
corpus_named=${ZORELLZ_CORPUS:-$root/../shared/corpus}
if ! corpus=$(cd "$corpus_named" 2>/dev/null && pwd -P); then
  echo "benchmark: the corpus folder $corpus_named is missing" >&2
  exit 1
fi
runs=${ZORELLZ_RUNS:-3}
zorellz=${1:-}
if [[ -z $zorellz ]]; then
  bash "$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  zorellz=$root/build/cli/zorellz
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

corpus_bytes=$(find -L "$corpus" -type f -printf '%s\n' | awk '{ total += $1 } END { print total + 0 }')
corpus_files=$(find -L "$corpus" -type f | wc -l)
if ((corpus_bytes == 0)); then
  echo "benchmark: the corpus folder $corpus_named holds no data" >&2
  exit 1
fi

# Runs "$@" $runs times; prints the shortest wall-clock time in seconds.
best_time() {
  local best="" start end
  for ((run = 0; run < runs; run++)); do
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    best=$(awk -v a="$start" -v b="$end" -v best="$best" \
      'BEGIN { t = b - a; if (best == "" || t < best + 0) best = t; print best }')
  done
  echo "$best"
}

# One line: name, time, corpus bytes per second, the packed file's size and
# its share of the corpus.
report() {  # name seconds packed-file
  local bytes
  bytes=$(stat -c %s "$3")
  awk -v name="$1" -v s="$2" -v plain="$corpus_bytes" -v packed="$bytes" 'BEGIN {
    printf "%-16s %8.3f s %9.2f MB/s %11d bytes %7.2f%%\n",
           name, s, plain / 1e6 / s, packed, 100 * packed / plain }'
}
