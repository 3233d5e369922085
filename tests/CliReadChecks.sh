#!/usr/bin/env bash
# End-to-end checks of the reading commands of `zorellz` (list, extract,
# test, expand, sfx-extract, comment), one scenario per CTest entry:
#   bash CliReadChecks.sh <tool> <corpus folder> <scratch folder> <scenario>
# Archives are made by `zorellz create`; damaged and spanned ones are cut
# from them here byte by byte.  Standard input is never a terminal here, so
# existing files are replaced unless --overwrite says otherwise, and disk
# prompts go on once per part.
set -u
zorellz_tool=$(realpath "$1")
corpus=$2
work=$3
scenario=$4
stdout=$work.stdout
stderr=$work.stderr

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# zorellz EXPECTED_STATUS ARGS...: runs the tool with stdin closed; its
# output is left in $stdout and $stderr.
zorellz() {
  local expected=$1
  shift
  "$zorellz_tool" "$@" </dev/null >"$stdout" 2>"$stderr"
  local status=$?
  if [[ $status -ne $expected ]]; then
    fail "zorellz $*: status $status, expected $expected
$(cat "$stdout" "$stderr")"
  fi
}

expect_out() { grep -Eq -- "$1" "$stdout" || fail "stdout lacks /$1/: $(cat "$stdout")"; }
expect_err() { grep -Eq -- "$1" "$stderr" || fail "stderr lacks /$1/: $(cat "$stderr")"; }
expect_same() { cmp -s "$1" "$2" || fail "$2 differs from $1"; }
expect_no_hidden_files() {
  local left
  left=$(find "$1" -name '.*' -print)
  [[ -z $left ]] || fail "left behind: $left"
}

# Three levels of folders, an empty file among them.
make_tree() {
  mkdir -p "$1/sub/deeper"
  cp "$corpus/alice29.txt" "$1/"
  cp "$corpus/lcet10.txt" "$1/sub/"
  echo "a few words" >"$1/sub/deeper/small.txt"
  : >"$1/empty.dat"
  chmod -R u+w "$1"
}

expect_tree() {
  local file
  for file in alice29.txt sub/lcet10.txt sub/deeper/small.txt empty.dat; do
    expect_same "$1/$file" "$2/$file"
  done
}

# Little-endian integers and a file patched in place.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
patch_at() { dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

# The 16-byte span block: signature 03 04 02 0A, part count, part number,
# header offset, archive bytes in the part.
span_block() { printf '\x03\x04\x02\x0a'; le16 "$1"; le16 "$2"; le32 "$3"; le32 "$4"; }
# A String[12] with zero filler.
name_field() { printf "\\x$(printf %02x ${#1})%s" "$1"; head -c $((12 - ${#1})) /dev/zero; }

# Cuts the plain archive $1 into parts of at most $3 bytes of data each, part 1
# named $2 (the others take the part number as extension), as the writing
# side lays them out: each part ends with a part trailer, and the header in
# part 1 carries the part count, the span block of part 1 and the name.
split_archive() {
  local archive=$1 part1=$2 chunk=$3
  local size parts name trailer_at spanned begin end part file
  size=$(stat -c %s "$archive")
  parts=$(((size + chunk - 1) / chunk))
  name=$(basename "$part1")
  trailer_at=$((size - 83))
  spanned=$work/spanned.tmp
  cp "$archive" "$spanned"
  le32 "$parts" | patch_at "$spanned" 19
  span_block "$parts" 1 0 "$trailer_at" | patch_at "$spanned" 43
  name_field "$name" | patch_at "$spanned" $((43 + 70))
  for ((part = 1; part <= parts; part++)); do
    begin=$(((part - 1) * chunk))
    end=$((begin + chunk < size ? begin + chunk : size))
    file=$part1
    ((part > 1)) && file=${part1%.*}.$part
    {
      tail -c +$((begin + 1)) "$spanned" | head -c $((end - begin))
      span_block "$parts" "$part" 0 $((end - begin))
      tail -c +$((trailer_at + 17)) "$archive" | head -c 54
      name_field "$name"
    } >"$file"
  done
  rm -f "$spanned"
}

rm -rf "$work"
mkdir -p "$work"
make_tree "$work/tree"

case $scenario in
list)
  zorellz 0 create "$work/a.lza" "$work/tree/*" --recurse full --quiet
  zorellz 0 list "$work/a.lza"
  expect_out '^ +1  folder .* sub$'
  expect_out '^ +6  stored +12 +12 +0%  [0-9-]{10} [0-9:]{8}  ___A  8AF16D33  0 +sub\\deeper\\small\.txt$'
  expect_out '^ +[0-9]  lzh .* sub\\lcet10\.txt$'
  expect_out "a.lza: 4 files, 2 folders, 578855 -> [0-9]+ bytes \\(ratio [0-9]+%\\)$"
  # Appended to a program: found through the trailer, the entries the same.
  zorellz 0 create "$work/setup.exe" "$work/tree/*" --recurse full --stub "$corpus/fireworks.jpeg" \
    --quiet
  stub_size=$(stat -c %s "$corpus/fireworks.jpeg")
  zorellz 0 list "$work/setup.exe"
  expect_out "setup.exe: 4 files, 2 folders, .*; appended at offset $stub_size$"
  zorellz 0 list "$work/setup.exe" --json
  expect_out '"found": "trailer"'
  expect_out "\"archive_offset\": $stub_size,"
  expect_out '"path": "sub\\\\deeper\\\\small.txt"'
  expect_out '"crc": "8AF16D33"'
  if command -v python3 >/dev/null; then
    python3 -m json.tool "$stdout" >/dev/null || fail "--json printed no valid JSON"
  fi
  # Part 1 of a spanned archive holds the whole directory.
  zorellz 0 create "$work/s.lza" "$work/tree/*" --recurse full --level store --quiet
  split_archive "$work/s.lza" "$work/DATA.LZA" 100000
  rm "$work/DATA.2"
  zorellz 0 list "$work/DATA.LZA"
  expect_out "DATA.LZA: 4 files, 2 folders, .*; part 1 of [0-9]+ parts$"
  # Not archives.
  zorellz 1 list "$corpus/alice29.txt"
  expect_err "^zorellz: .*alice29.txt: not an archive"
  zorellz 1 list "$work/no-such.lza"
  expect_err "^zorellz: .*no-such.lza: no such file$"
  ;;

extract_round_trip)
  for level in store fast max; do
    zorellz 0 create "$work/$level.lza" "$work/tree/*" --recurse full --level $level --quiet
    zorellz 0 extract "$work/$level.lza" "$work/out-$level"
    expect_out "$level.lza: 4 files extracted, [0-9]+ -> 578855 bytes, [0-9.]+ s$"
    expect_tree "$work/tree" "$work/out-$level"
    expect_no_hidden_files "$work/out-$level"
  done
  zorellz 0 test "$work/max.lza"
  expect_out "max.lza: 4 files sound"
  # The current folder by default; --flat drops the folders.
  mkdir "$work/here"
  (cd "$work/here" && zorellz 0 extract ../max.lza --flat --quiet)
  [[ ! -s $stdout ]] || fail "--quiet printed $(cat "$stdout")"
  expect_same "$work/tree/sub/deeper/small.txt" "$work/here/small.txt"
  [[ ! -e $work/here/sub ]] || fail "--flat made folders"
  # A mask by name or path inside the archive, an entry by number.
  zorellz 0 extract "$work/max.lza" "$work/masked" --mask 'sub\lcet10.txt'
  expect_out "1 file extracted"
  expect_same "$work/tree/sub/lcet10.txt" "$work/masked/sub/lcet10.txt"
  [[ ! -e $work/masked/alice29.txt ]] || fail "the mask took alice29.txt as well"
  zorellz 0 extract "$work/max.lza" "$work/numbered" --entry 3
  expect_out "1 file extracted"
  [[ $(find "$work/numbered" -type f | wc -l) -eq 1 ]] || fail "--entry 3 took more than one"
  zorellz 1 extract "$work/max.lza" "$work/none" --mask '*.none'
  expect_err 'max.lza: no file matches \*\.none$'
  zorellz 1 extract "$work/max.lza" "$work/none" --entry 7
  expect_err 'max.lza: has no entry 7 \(it has 6\)$'
  zorellz 1 extract "$work/max.lza" "$work/none" --entry 1
  expect_err 'max.lza: entry 1 is a folder'
  # Compressed entries left compressed: each a single compressed file that
  # expands to the original.
  zorellz 0 extract "$work/max.lza" "$work/unexpanded" --unexpanded
  zorellz 0 expand "$work/unexpanded/alice29.txt" "$work/alice.back"
  expect_same "$work/tree/alice29.txt" "$work/alice.back"
  ;;

extract_overwrite)
  zorellz 0 create "$work/a.lza" "$work/tree/*" --recurse full --quiet
  mkdir -p "$work/out/sub"
  echo "older" >"$work/out/sub/lcet10.txt"
  cp "$work/out/sub/lcet10.txt" "$work/older"
  zorellz 0 extract "$work/a.lza" "$work/out" --overwrite never
  expect_out "a.lza: 3 files extracted, .*, 1 kept,"
  expect_same "$work/older" "$work/out/sub/lcet10.txt"
  # Without a terminal the default is to replace.
  zorellz 0 extract "$work/a.lza" "$work/out"
  expect_tree "$work/tree" "$work/out"
  # Asked with nobody to answer: kept.
  echo "older" >"$work/out/empty.dat"
  zorellz 0 extract "$work/a.lza" "$work/out" --overwrite ask --mask empty.dat
  expect_err "already exists:"
  expect_same "$work/older" "$work/out/empty.dat"
  ;;

damaged)
  zorellz 0 create "$work/a.lza" "$work/tree/*" --recurse full --level store --quiet
  # Entries in the order alice29.txt, empty.dat, sub\lcet10.txt,
  # sub\deeper\small.txt: 100 bytes before the end lies inside lcet10.txt.
  size=$(stat -c %s "$work/a.lza")
  printf '\xff' | patch_at "$work/a.lza" $((size - 100))
  zorellz 1 test "$work/a.lza"
  expect_err '^zorellz: .*a.lza: damaged entry sub\\lcet10\.txt$'
  expect_out "a.lza: 3 files sound"
  # The old file stays as it was, and nothing is left beside it.
  mkdir -p "$work/out/sub"
  echo "older" >"$work/out/sub/lcet10.txt"
  cp "$work/out/sub/lcet10.txt" "$work/older"
  zorellz 1 extract "$work/a.lza" "$work/out"
  expect_err '^zorellz: .*a.lza: entry sub/lcet10.txt is damaged .*2 files extracted before it$'
  expect_same "$work/older" "$work/out/sub/lcet10.txt"
  expect_no_hidden_files "$work/out"
  # Without the check the damaged bytes are written.
  zorellz 0 extract "$work/a.lza" "$work/out" --no-crc-check
  cmp -s "$work/older" "$work/out/sub/lcet10.txt" && fail "--no-crc-check kept the old file"
  # A cut archive: its directory promises data that are not there.
  head -c 3000 "$work/a.lza" >"$work/cut.lza"
  zorellz 1 extract "$work/cut.lza" "$work/cut"
  expect_err "cut.lza: the archive's directory is damaged$"
  ;;

archive_itself)
  # An entry named as the archive, extracted into the archive's folder: the
  # archive is spared, the other entries extracted.
  mkdir "$work/src"
  echo "not the archive" >"$work/src/pack.lza"
  echo "other" >"$work/src/other.txt"
  zorellz 0 create "$work/pack.lza" "$work/src/*" --quiet
  cp "$work/pack.lza" "$work/pack.copy"
  zorellz 0 extract "$work/pack.lza" "$work" --yes
  expect_err "pack.lza: is the archive being read; its entry was skipped$"
  expect_out "pack.lza: 1 file extracted"
  expect_same "$work/pack.copy" "$work/pack.lza"
  expect_same "$work/src/other.txt" "$work/other.txt"
  ;;

expand)
  mkdir "$work/e"
  cp "$corpus/alice29.txt" "$work/e/report.txt"
  chmod u+w "$work/e/report.txt"
  zorellz 0 compress "$work/e/report.txt" --quiet
  mv "$work/e/report.txt" "$work/original"
  # Under the name stored in it, beside it.
  zorellz 0 expand "$work/e/report.tx~"
  expect_out "report.txt: 1 file expanded, [0-9]+ -> 152089 bytes"
  expect_same "$work/original" "$work/e/report.txt"
  # Under a name of one's own; kept when asked to.
  zorellz 0 expand "$work/e/report.tx~" "$work/e/copy.txt"
  expect_same "$work/original" "$work/e/copy.txt"
  zorellz 0 expand "$work/e/report.tx~" --overwrite never
  expect_err "report.tx~: the file it expands to exists; kept$"
  # The name asked for, found under its compressed name.
  rm "$work/e/report.txt"
  zorellz 0 expand "$work/e/report.txt"
  expect_same "$work/original" "$work/e/report.txt"
  # Not compressed: it would be written over itself.
  zorellz 1 expand "$work/original"
  expect_err "original: would be expanded over itself"
  # Cut short: no output appears.
  head -c 2000 "$work/e/report.tx~" >"$work/e/cut.tx~"
  zorellz 1 expand "$work/e/cut.tx~" "$work/e/cut.out"
  expect_err "cut.tx~: compressed data end before their end code$"
  [[ ! -e $work/e/cut.out ]] || fail "a cut file left output"
  expect_no_hidden_files "$work/e"
  ;;

sfx_extract)
  stub=$corpus/fireworks.jpeg
  zorellz 0 create "$work/SETUP.EXE" "$work/tree/*" --recurse full --stub "$stub" --quiet
  zorellz 0 create "$work/setup.exe" "$work/tree/*" --recurse full --stub "$stub" --quiet
  zorellz 0 sfx-extract "$work/SETUP.EXE"
  expect_out "SETUP.LZA: [0-9]+ bytes, the archive of .*SETUP.EXE$"
  zorellz 0 sfx-extract "$work/setup.exe"
  [[ -f $work/setup.lza ]] || fail "setup.exe gave no setup.lza"
  # A plain archive with the entries of the self-extracting file.
  zorellz 0 list "$work/SETUP.LZA"
  expect_out "SETUP.LZA: 4 files, 2 folders, [0-9]+ -> [0-9]+ bytes \\(ratio [0-9]+%\\)$"
  zorellz 0 extract "$work/SETUP.LZA" "$work/out"
  expect_tree "$work/tree" "$work/out"
  zorellz 0 extract "$work/setup.exe" "$work/out-sfx"
  expect_tree "$work/tree" "$work/out-sfx"
  zorellz 1 sfx-extract "$work/SETUP.LZA"
  expect_err "SETUP.LZA: is a plain archive already$"
  zorellz 1 sfx-extract "$work/setup.exe" "$work/setup.exe"
  expect_err "setup.exe: is the self-extracting file itself$"
  ;;

protected)
  zorellz 0 create "$work/p.lza" "$work/tree/*" --recurse full --protect --quiet
  zorellz 0 list "$work/p.lza"
  expect_out "p.lza: .*; protected$"
  zorellz 0 test "$work/p.lza"
  zorellz 1 extract "$work/p.lza" "$work/out"
  expect_err "p.lza: is protected"
  [[ ! -e $work/out ]] || fail "a refused archive made its target folder"
  zorellz 0 extract "$work/p.lza" "$work/out" --accept-protected
  expect_tree "$work/tree" "$work/out"
  ;;

comment)
  zorellz 0 create "$work/a.lza" "$work/tree/*" --quiet
  zorellz 0 comment "$work/a.lza" "$work/out"
  expect_out "a.lza: no comment$"
  zorellz 1 comment "$work/tree/alice29.txt"
  expect_err "alice29.txt: not an archive"
  ;;

spanned)
  zorellz 0 create "$work/a.lza" "$work/tree/*" --recurse full --level store --quiet
  split_archive "$work/a.lza" "$work/DATA.LZA" 200000
  # The parts are joined in a work file of the temporary folder.
  mkdir "$work/tmp"
  export TEMP=$work/tmp TMP=$work/tmp TMPDIR=$work/tmp
  # Every part there: joined, extracted, tested; the work file is gone.
  zorellz 0 extract "$work/DATA.LZA" "$work/out"
  expect_tree "$work/tree" "$work/out"
  zorellz 0 test "$work/DATA.LZA"
  expect_out "DATA.LZA: 4 files sound"
  # The last part missing: named, and nothing is extracted.
  rm "$work/DATA.3"
  zorellz 1 extract "$work/DATA.LZA" "$work/out-missing" --yes
  expect_err "^zorellz: .*DATA.3: missing \\(part 3 of 3 of the spanned archive\\)$"
  [[ -z $(find "$work/out-missing" -type f 2>/dev/null) ]] || fail "files from a partial archive"
  # Part 2 where part 3 belongs.
  cp "$work/DATA.2" "$work/DATA.3"
  zorellz 1 extract "$work/DATA.LZA" "$work/out-wrong"
  expect_err "^zorellz: .*DATA.3: is not part 3 of 3 of the spanned archive$"
  [[ -z $(ls -A "$work/tmp") ]] || fail "work files left: $(ls -A "$work/tmp")"
  ;;

*)
  fail "unknown scenario $scenario"
  ;;
esac
exit 0
