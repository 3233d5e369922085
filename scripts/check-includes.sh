#!/usr/bin/env bash
# Checks that every include follows the layering:
#   platform <- codec <- engine <- component <- cli, ui <- app
# A layer includes only itself and the layers below it (ui only the library
# and itself, app anything but cli), and the library includes no header of
# an operating system, of Qt, CLI11 or nlohmann-json: platform/ alone knows
# the system, through the standard library where it can.  Prints each
# include that crosses a forbidden edge and fails if there is one.
#   bash scripts/check-includes.sh [SOURCE_ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root"

# layer_of PATH: sets `layer` to the layer of a file of the tree or of an
# included path ("other" outside the layers).
layer_of() {
  local rest
  case $1 in
    include/zorellz/zorellz.h | zorellz/zorellz.h) layer=component ;;
    include/zorellz/*/*) rest=${1#include/zorellz/} layer=${rest%%/*} ;;
    zorellz/*/*) rest=${1#zorellz/} layer=${rest%%/*} ;;
    platform/*) layer=platform ;;
    archive/codec/*) layer=codec ;;
    archive/engine/*) layer=engine ;;
    archive/component/*) layer=component ;;
    cli/* | ui/* | app/*) layer=${1%%/*} ;;
    *) layer=other ;;
  esac
}

# The layers each layer may include.
declare -A allowed=(
  [platform]="platform"
  [codec]="platform codec"
  [engine]="platform codec engine"
  [component]="platform codec engine component"
  [cli]="platform codec engine component cli"
  [ui]="platform codec engine component ui"
  [app]="platform codec engine component ui app"
)
system_headers='^(unistd|windows|winbase|fcntl|dirent|termios|pthread|sys/.*|Q[A-Za-z]*|Qt.*|CLI/.*|nlohmann/.*)(\.h|\.hpp)?$'

failures=0
while IFS= read -r file; do
  layer_of "$file"
  from=$layer
  [[ -v allowed[$from] ]] || continue
  while IFS=: read -r number line; do
    if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] ||
      [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(zorellz/[^\>]+)\> ]]; then
      layer_of "${BASH_REMATCH[1]}"
      to=$layer
      if [[ $to != other && " ${allowed[$from]} " != *" $to "* ]]; then
        echo "$file:$number: $from includes $to: ${BASH_REMATCH[1]}"
        failures=$((failures + 1))
      fi
    elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
      header=${BASH_REMATCH[1]}
      if [[ $from != platform && $from =~ ^(codec|engine|component)$ && $header =~ $system_headers ]] ||
        [[ $from == platform && $header =~ ^(Q|CLI/|nlohmann/) ]]; then
        echo "$file:$number: $from includes <$header>"
        failures=$((failures + 1))
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find platform archive include cli ui app -type f \( -name '*.h' -o -name '*.cpp' \) \
           2>/dev/null | sort)

if ((failures)); then
  echo "check-includes: $failures include(s) cross the layering" >&2
  exit 1
fi
echo "check-includes: every include follows the layering"
