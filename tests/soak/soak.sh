#!/usr/bin/env bash
# soak.sh WINE_DIR KILL_SOAK_EXE [SECONDS]: runs the kill soak in a fresh copy of the build's
# booted Wine prefix, on a virtual display when there is none, and prints what it did.
# ALMANIX_EXE names the almanix.exe to soak (ctest sets it).
#   A longer run: ALMANIX_EXE=$PWD/build-win/src/app/almanix.exe \
#     tests/soak/soak.sh build-win/wine build-win/tests/soak/kill_soak.exe 600
set -uo pipefail
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
wine_dir=$(realpath "$1") exe=$(realpath "$2") seconds=${3:-40}
here=$(dirname "$(realpath "$0")")
"$here/../../scripts/wine-prefix.sh" "$wine_dir" >/dev/null || exit 1
: "${ALMANIX_EXE:?ALMANIX_EXE must name almanix.exe}"

work=$(mktemp -d "$wine_dir/soak.XXXXXX")
trap 'WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
cp -a "$wine_dir/prefix" "$work/prefix"
mkdir -p "$work/home"
WINEPREFIX="$work/prefix" HOME="$work/home" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all \
  LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 timeout $((seconds + 300)) wine "$exe" "$seconds" 2>&1 | tr -d '\r'
