#!/usr/bin/env bash
# Runs zorellz-example on a small archive made by `zorellz create`, plain
# and self-extracting (an update):
#   bash check_example.sh <example> <zorellz tool> <scratch folder>
# The listing names both files, the extraction reproduces them, a second run
# replaces them, and a missing archive or a file that is none fails with its
# name on stderr.
set -u
example=$1
zorellz_tool=$2
work=$3

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work/in" "$work/out"
printf 'first file\n' >"$work/in/one.txt"
printf 'second file, a little longer\n' >"$work/in/two.txt"
"$zorellz_tool" create "$work/sample.lza" "$work/in/*.txt" --quiet </dev/null ||
  fail "zorellz create"

"$example" "$work/sample.lza" "$work/out" >"$work/stdout" 2>"$work/stderr" ||
  fail "example: $(cat "$work/stderr")"
for line in '^ +11  one\.txt$' '^ +29  two\.txt$' '^2 entries$' '^extracting .*one\.txt$' \
  '^2 files extracted into '; do
  grep -Eq -- "$line" "$work/stdout" || fail "stdout lacks /$line/: $(cat "$work/stdout")"
done
cmp -s "$work/in/one.txt" "$work/out/one.txt" || fail "one.txt differs"
cmp -s "$work/in/two.txt" "$work/out/two.txt" || fail "two.txt differs"

# The same files appended to a program (the example itself as the stub).
"$zorellz_tool" create --stub "$example" "$work/update" "$work/in/*.txt" --quiet </dev/null ||
  fail "zorellz create --stub"
"$example" "$work/update" "$work/sfx-out" >"$work/stdout" 2>"$work/stderr" ||
  fail "example on the self-extracting file: $(cat "$work/stderr")"
grep -Eq '^2 entries$' "$work/stdout" || fail "self-extracting listing: $(cat "$work/stdout")"
cmp -s "$work/in/two.txt" "$work/sfx-out/two.txt" || fail "two.txt from the update differs"

"$example" "$work/sample.lza" "$work/out" >"$work/stdout" 2>&1 || fail "second run"
grep -Eq '^replacing .*two\.txt$' "$work/stdout" || fail "no replacement: $(cat "$work/stdout")"

"$example" "$work/missing.lza" "$work/out" >"$work/stdout" 2>"$work/stderr" &&
  fail "a missing archive succeeded"
grep -Eq '^zorellz-example: .*missing\.lza: no such file$' "$work/stderr" ||
  fail "stderr lacks the archive's name: $(cat "$work/stderr")"
"$example" "$work/in/one.txt" "$work/out" >"$work/stdout" 2>"$work/stderr" &&
  fail "a text file was taken for an archive"
grep -Eq '^zorellz-example: .*one\.txt: is not an archive$' "$work/stderr" ||
  fail "stderr: $(cat "$work/stderr")"
exit 0
