#!/usr/bin/env bash
# The main job: builds everything, makes a sample database update and applies
# it to a sandbox host whose settings point at a data and a help folder in a
# temporary folder.  The update runs in a window when a display is available
# (answer its messages with OK), otherwise unattended with every message
# printed here.  Ends with what changed in the sandbox, and the updater's
# exit status.  TESSALINE_UNATTENDED=1 forces the unattended run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release
zorellz="$root/build/cli/zorellz"
updater="$root/build/app/tessaline-update"

corpus=${ZORELLZ_CORPUS:-$root/../shared/corpus}
if compgen -G "$corpus/*" >/dev/null; then
  echo "CRC-32 of the sample corpus:"
  "$zorellz" crc32 "$corpus"/*
  echo
fi

sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
config=$sandbox/etc/xdg
data=$sandbox/host/data
help=$sandbox/host/help
update=$sandbox/tessaline-update-sample

# A value of the settings file in quotes, so that commas and semicolons in
# the path stay part of it.
ini_value() {
  local value=${1//\\/\\\\}
  printf '"%s"' "${value//\"/\\\"}"
}

make_host() {
  mkdir -p "$config/Orv" "$data/Reports" "$help"
  {
    echo "[General]"
    echo "DataDirectory=$(ini_value "$data")"
    echo "HelpDirectory=$(ini_value "$help")"
  } >"$config/Orv/Tessaline.conf"
  # The installed edition: the update replaces its database files (which
  # must be there: a missing one stops the update) and its read-me page.
  local installed=$sandbox/installed
  bash "$root/scripts/make-sample-update.sh" "$installed" 1
  cp "$installed"/*.DAT "$installed"/*.IDX "$data/"
  cp "$installed/Reports/MONTHLY.DAT" "$data/Reports/"
  cp "$installed/readme.HTML" "$help/"
  # The host's own files, which no update touches.
  echo "Notes kept by the host." >"$data/NOTES.TXT"
  echo "<html><body>Manual</body></html>" >"$help/manual.HTML"
}

make_update() {
  bash "$root/scripts/make-sample-update.sh" "$sandbox/update" 2
  "$zorellz" create --stub "$updater" "$update" "$sandbox/update/*" --recurse full
}

# One line per file of the host's folders: path, size, CRC-32, by tabs.
snapshot() {
  local place file
  for place in data help; do
    (cd "$sandbox/host/$place" && find . -type f -printf '%P\n' | LC_ALL=C sort |
      while IFS= read -r file; do
        printf '%s/%s\t%d\t%s\n' "$place" "$file" "$(stat -c %s "$file")" \
          "$("$zorellz" crc32 "$file" | cut -c1-8)"
      done)
  done
}

show_changes() {
  echo
  echo "The sandbox's host folders ($sandbox/host), before and after the update:"
  awk -F '\t' 'FILENAME == ARGV[1] { before[$1] = sprintf("%8d %s", $2, $3); paths[$1]; next }
      { after[$1] = sprintf("%8d %s", $2, $3); paths[$1] }
      END {
        printf "%-26s %-17s  %-17s  %s\n", "file", "before (size crc)", "after (size crc)", "change"
        for (path in paths) {
          b = (path in before) ? before[path] : "-"
          a = (path in after) ? after[path] : "-"
          change = b == a ? "unchanged" : b == "-" ? "new" : a == "-" ? "gone" : "replaced"
          printf "%-26s %-17s  %-17s  %s\n", path, b, a, change
        }
      }' "$sandbox/before" "$sandbox/after" | { read -r header; echo "$header"; LC_ALL=C sort; }
}

make_host
make_update
snapshot >"$sandbox/before"

run=(env "XDG_CONFIG_DIRS=$config")
if [[ ${TESSALINE_UNATTENDED:-} != 1 && -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  echo "Running the update in its window; answer its messages with OK."
else
  echo "Running the update unattended; its messages:"
  run+=(TESSALINE_UNATTENDED=1 QT_QPA_PLATFORM=offscreen)
  # Qt wants a private runtime folder even when it draws nowhere.
  if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    mkdir -m 700 "$sandbox/runtime"
    run+=("XDG_RUNTIME_DIR=$sandbox/runtime")
  fi
fi
status=0
(cd "$sandbox" && "${run[@]}" "$update") || status=$?

snapshot >"$sandbox/after"
show_changes
echo
echo "The updater exited with status $status (0 completed, 2 completed with a help page" \
  "left in the data folder, 1 not completed)."
exit "$status"
