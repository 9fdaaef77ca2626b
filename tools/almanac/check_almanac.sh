#!/usr/bin/env bash
# The almanac's checks against lunar-javascript under node (ctest runs both; see README.md):
#   check_almanac.sh table CHECKED_IN_TABLE WORK_DIR   the checked-in table is the generator's output
#   check_almanac.sh days ALMANIX_CAL WORK_DIR         every day 1900-01-31 .. 2049-12-31 agrees
# Exits 77 (ctest: skipped) when node is absent; a missing lunar-javascript is a failure.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=$1 arg=$2 work=$3
if ! command -v node >/dev/null; then
  echo "node is not installed: the almanac's comparison with lunar-javascript is skipped (scripts/install-deps.sh installs it)"
  exit 77
fi
if ! (cd "$here" && node -e "require('lunar-javascript')" 2>/dev/null); then
  echo "lunar-javascript is not installed in $here/node_modules: run scripts/install-deps.sh" >&2
  exit 1
fi
mkdir -p "$work"
case $mode in
  table)
    node "$here/almanac_gen.js" "$work/almanac_table.inc"
    if ! cmp -s "$arg" "$work/almanac_table.inc"; then
      echo "$arg is not what tools/almanac/almanac_gen.js makes now (cmake --build build --target almanac-regen):" >&2
      diff "$arg" "$work/almanac_table.inc" | head -20 >&2
      exit 1
    fi ;;
  days)
    node "$here/almanac_days.js" 1900-01-31 2049-12-31 > "$work/lunar-javascript.txt"
    "$arg" --days 1900-01-31 2049-12-31 | cut -f1,15-20 > "$work/almanix-cal.txt"
    if ! diff "$work/lunar-javascript.txt" "$work/almanix-cal.txt" > "$work/differences.txt"; then
      echo "days where almanix-cal (>) differs from lunar-javascript (<): $(grep -c '^<' "$work/differences.txt")" >&2
      head -20 "$work/differences.txt" >&2
      exit 1
    fi
    echo "$(wc -l < "$work/almanix-cal.txt") days agree" ;;
  *) echo "usage: check_almanac.sh table|days ARG WORK_DIR" >&2; exit 2 ;;
esac
