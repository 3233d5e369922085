#!/usr/bin/env bash
# scripts/check-includes.sh on a small tree: it passes on includes that
# follow the layering and reports each planted include that crosses a
# forbidden edge, with its file and line.
#   bash tests/check_includes_test.sh <check-includes.sh> <scratch folder>
set -u
check=$1
work=$2

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work"/{platform,archive/codec,archive/engine,archive/component,include/zorellz/engine}
mkdir -p "$work"/{cli,ui,app}
plant() {  # plant FILE LINE...
  local file=$1
  shift
  printf '%s\n' "$@" >"$work/$file"
}
plant platform/File.cpp '#include "zorellz/platform/File.h"' '#include <unistd.h>'
plant archive/codec/Codec.cpp '#include "zorellz/platform/File.h"' '#include "zorellz/codec/ZrlLZSS.h"'
plant archive/engine/Engine.cpp '#include "zorellz/codec/ZrlCRC.h"' '#include <zorellz/engine/ZorelLZ.h>'
plant include/zorellz/engine/ZorelLZ.h '#include "zorellz/platform/File.h"'
plant archive/component/Component.cpp '#include "zorellz/engine/ZorelLZ.h"'
plant cli/Main.cpp '#include <CLI/CLI.hpp>' '#include "zorellz/component/ZRLLZSS.h"'
plant ui/OffBtn.cpp '#include <QWidget>' '#include "ui/OffBtn.h"'
plant app/main.cpp '#include "ui/OffBtn.h"' '#include "zorellz/platform/File.h"'
bash "$check" "$work" >"$work/out" 2>&1 || fail "a tree that follows the layering: $(cat "$work/out")"

# One include across each forbidden edge.
plant archive/engine/Bad.cpp '#include "ok.h"' '#include "app/UpdateRun.h"'
plant archive/engine/Bad2.cpp '#include "ui/OffBtn.h"'
plant archive/codec/Bad.cpp '#include "zorellz/engine/ZorelLZ.h"'
plant platform/Bad.cpp '#include "zorellz/codec/ZrlCRC.h"'
plant archive/component/Bad.cpp '#include "ui/OffBtn.h"'
plant cli/Bad.cpp '#include "ui/OffBtn.h"'
plant archive/engine/System.cpp '#include <sys/stat.h>'
bash "$check" "$work" >"$work/out" 2>&1 && fail "planted includes passed"
for reported in 'archive/engine/Bad.cpp:2: engine includes app' \
  'archive/engine/Bad2.cpp:1: engine includes ui' 'archive/codec/Bad.cpp:1: codec includes engine' \
  'platform/Bad.cpp:1: platform includes codec' 'archive/component/Bad.cpp:1: component includes ui' \
  'cli/Bad.cpp:1: cli includes ui' 'archive/engine/System.cpp:1: engine includes <sys/stat.h>'; do
  grep -qF "$reported" "$work/out" || fail "not reported: $reported: $(cat "$work/out")"
done
[[ $(grep -c ' includes ' "$work/out") == 7 ]] || fail "more than the planted: $(cat "$work/out")"
exit 0
