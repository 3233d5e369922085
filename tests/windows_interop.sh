#!/usr/bin/env bash
# Archives made on Windows and on Linux hold the same entries, and each
# system extracts the other's byte for byte.
#   bash tests/windows_interop.sh LINUX_ZORELLZ WINDOWS_ZORELLZ_EXE [WORK_FOLDER]
# zorellz.exe runs under wine (WINEPREFIX: ZORELLZ_WINEPREFIX, else
# wine-prefix/ in the build folder that holds it).  A held-out tree of real
# files: text, a binary of several hundred KB, an empty file, sub-folders,
# and names beyond ASCII that Windows-1252 holds.
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
work=${3:-$(mktemp -d)}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ -z ${ZORELLZ_WINEPREFIX:-} ]]; then
  folder=$(dirname "$windows")
  while [[ $folder != / && ! -f $folder/CMakeCache.txt ]]; do folder=$(dirname "$folder"); done
  export ZORELLZ_WINEPREFIX=$folder/wine-prefix
fi
# wine reads the names of the Linux files as UTF-8 only in a UTF-8 locale.
run_windows() { LANG=C.UTF-8 "$root/cmake/wine-run.sh" "$windows" "$@"; }
attrib() { LANG=C.UTF-8 "$root/cmake/wine-run.sh" attrib "$@" >/dev/null; }
fail() { echo "windows_interop: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/tree/Données/sub" "$work/tree/empty folder"
cd "$work"
cp "$root/README.md" tree/README.md
head -c 300000 /dev/urandom >tree/random.bin
for i in $(seq 1 4000); do echo "line $i of a file that compresses well"; done >"tree/Données/café.txt"
cat "$root"/platform/*.h "$root"/platform/*.cpp >tree/Données/sub/sources.txt
head -c 500000 "$windows" >tree/Données/sub/program.bin
: >tree/Données/sub/empty.dat

# The listing without the lines that name the archive itself.
entries() { "$linux" list "$1" | sed '1d;$d'; }

echo "-- create on both systems"
"$linux" create linux.lza 'tree/*' --recurse full --quiet
run_windows create windows.lza 'tree/*' --recurse full --quiet
cmp -s <(entries linux.lza) <(entries windows.lza) ||
  { diff <(entries linux.lza) <(entries windows.lza); fail "the two archives differ"; }
# The tool shows paths with the native separator.
grep -q 'Données/café.txt' <(entries windows.lza) || fail "a Latin-1 name did not survive"

echo "-- list and test under wine"
run_windows list windows.lza | grep -q 'Données\\sub\\program.bin' || fail "list under wine"
run_windows test windows.lza --quiet || fail "test under wine"
run_windows test linux.lza --quiet || fail "test under wine"

echo "-- each system extracts its own archive and the other's"
mkdir round-trip from-windows from-linux
run_windows extract windows.lza round-trip --quiet
"$linux" extract windows.lza from-windows --quiet
run_windows extract linux.lza from-linux --quiet
diff -r tree round-trip || fail "wine extracted its own archive wrongly"
diff -r tree from-windows || fail "Linux extracted the Windows archive wrongly"
diff -r tree from-linux || fail "wine extracted the Linux archive wrongly"

echo "-- standard streams carry data byte for byte under wine"
# Line feeds stay single and a Ctrl-Z does not end the input.
printf 'a\nb\r\nc\032d\n' >streamed.txt
cat tree/random.bin >>streamed.txt
run_windows codec encode --method lzh - - <streamed.txt >streamed.lzh
"$linux" codec decode --method lzh streamed.lzh streamed.back
cmp streamed.txt streamed.back || fail "codec encode - - under wine changed the data"
run_windows codec decode --method lzh - - <streamed.lzh >streamed.out
cmp streamed.txt streamed.out || fail "codec decode - - under wine changed the data"
[[ $(run_windows crc32 - <streamed.txt | cut -c1-8) == $("$linux" crc32 streamed.txt | cut -c1-8) ]] ||
  fail "crc32 - under wine read other data"

echo "-- attributes round-trip on Windows"
# Set natively, stored by zorellz.exe, put back by zorellz.exe, and read
# natively again when the extracted files are archived anew.
mkdir -p attributes
for name in plain hidden system readonly all; do echo "$name" >"attributes/$name.txt"; done
attrib +h 'attributes\hidden.txt'
attrib +s 'attributes\system.txt'
attrib +r 'attributes\readonly.txt'
# One flag per call: wine's attrib keeps only the last of several.
for flag in +h +s +r; do attrib $flag 'attributes\all.txt'; done
run_windows create attributes.lza 'attributes/*' --quiet
# Flags: hidden, read-only, system, archive.
expected=$'all.txt HRSA\nhidden.txt H__A\nplain.txt ___A\nreadonly.txt _R_A\nsystem.txt __SA'
flags() { entries "$1" | awk '{print $NF, $(NF-2)}' | sort; }
[[ $(flags attributes.lza) == "$expected" ]] ||
  { flags attributes.lza; fail "attributes were not stored as set"; }
run_windows extract attributes.lza attributes-back --quiet
run_windows create attributes-again.lza 'attributes-back/*' --quiet
[[ $(flags attributes-again.lza) == "$expected" ]] ||
  { flags attributes-again.lza; fail "attributes did not come back"; }
echo "windows_interop: all checks passed"
