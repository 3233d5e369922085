#!/usr/bin/env bash
# Writes the files of a sample database update into FOLDER: the host's
# database files (.DAT with fixed-size binary records, .IDX with their keys),
# help pages, a page the updater leaves in place (.HTM) and a sub-folder.
# EDITION (default 2) goes into every record and page, so that two editions
# of the same files differ in size and content.
#
#   bash scripts/make-sample-update.sh FOLDER [EDITION]
#   zorellz create --stub build/app/tessaline-update UPDATE 'FOLDER/*' --recurse full
set -euo pipefail

if (($# < 1 || $# > 2)); then
  echo "usage: $0 FOLDER [EDITION]" >&2
  exit 2
fi
folder=$1
edition=${2:-2}
[[ $edition =~ ^[0-9]+$ ]] || { echo "$0: EDITION must be a number" >&2; exit 2; }
mkdir -p "$folder/Reports"

# A table of COUNT 64-byte records: key, NUL-padded name, edition, a
# scrambled 32-bit field and a record end of CR LF.
write_table() {
  local file=$1 prefix=$2 count=$3 i
  for ((i = 1; i <= count; i++)); do
    printf '%s%07d\0%-39s\0E%03d\0%08x\r\n' "$prefix" "$i" "$prefix record $i" "$edition" \
      $(((i * 2654435761 + edition) % 4294967296))
  done >"$file"
}

# The index of a table: for each record its key and the record's offset as
# four little-endian bytes, 12 bytes a record.
write_index() {
  local file=$1 prefix=$2 count=$3 i offset bytes
  for ((i = 1; i <= count; i++)); do
    offset=$(((i - 1) * 64))
    printf -v bytes '\\x%02x' $((offset & 255)) $(((offset >> 8) & 255)) \
      $(((offset >> 16) & 255)) $((offset >> 24))
    printf "%s%07d$bytes" "$prefix" "$i"
  done >"$file"
}

write_page() {
  local file=$1 title=$2
  {
    printf '<!DOCTYPE html>\n<html><head><title>%s</title></head><body>\n' "$title"
    printf '<h1>%s</h1>\n<p>Tessaline database, edition %d.</p>\n' "$title" "$edition"
    seq -f '<p>Section %g of the help text.</p>' 1 40
    printf '</body></html>\n'
  } >"$file"
}

customers=$((3000 + 1000 * edition))
orders=$((4000 + 1500 * edition))
write_table "$folder/CUSTOMER.DAT" C "$customers"
write_index "$folder/CUSTOMER.IDX" C "$customers"
write_table "$folder/ORDERS.DAT" O "$orders"
write_index "$folder/ORDERS.IDX" O "$orders"
write_table "$folder/Reports/MONTHLY.DAT" M 200

# Pages of the data folder itself ending in .HTML (any case) go to the help
# folder; .HTM pages and pages in sub-folders stay where they are extracted.
write_page "$folder/readme.HTML" "Read me"
write_page "$folder/index.html" "Contents"
write_page "$folder/old.HTM" "Earlier notes"
write_page "$folder/Reports/summary.HTML" "Monthly summary"
