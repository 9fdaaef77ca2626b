#!/usr/bin/env bash
# figures.sh [IDLE_SECONDS]: speed and footprint of almanix.exe, measured side by side with a
# bare dialog program built the same way, in one run under Wine; and the native benchmarks of
# the engine, the memo store, the month model and the text codec. Prints one table.
#
# Builds what it needs in build/ and build-win/ (FIGURES_BUILD, FIGURES_BUILD_WIN to use
# others). IDLE_SECONDS (default 60) is how long both programs sit idle while their CPU time
# is counted; FIGURES_RUNS (default 10) is how many times each program is started.
# The Wine programs run in a scratch copy of the Windows build's prefix, removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
idle=${1:-60}
runs=${FIGURES_RUNS:-10}
build=${FIGURES_BUILD:-build}
build_win=${FIGURES_BUILD_WIN:-build-win}
jobs=${ALMANIX_JOBS:-$(nproc)}

scripts/install-deps.sh

echo "== building"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs" --target engine_bench memo_bench monthview_bench text_bench >/dev/null
cmake -S . -B "$build_win" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build_win" -j"$jobs" --target figures >/dev/null

echo "== native benchmarks (engine, memo store, month model, text codec)"
for b in engine_bench memo_bench monthview_bench text_bench; do
  "$build/bench/$b" --benchmark_min_time=0.05 2>&1 | grep -v '^\*\*\*' || exit 1
done

# The driver prints the table's rows for the running programs; size and imports follow.
exe="$build_win/src/app/almanix.exe"
bare="$build_win/bench/wine/bare_dialog.exe"
bare_template="$build_win/bench/wine/bare_template.exe"
wine_dir=$(realpath "$build_win/wine")
scripts/wine-prefix.sh "$wine_dir" >/dev/null
scratch=$(mktemp -d "$wine_dir/figures.XXXXXX")
cleanup() {
  WINEPREFIX="$scratch/prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
# A copy of the booted prefix: the calendar registers itself for autostart and writes its
# settings and memo files, and nothing of that may reach the prefix that the tests copy.
cp -a "$wine_dir/prefix" "$scratch/prefix"
mkdir -p "$scratch/home"

echo
echo "== figures, $(date +%F), $(nproc) cores, $(wine --version 2>/dev/null), idle ${idle} s, ${runs} starts each"
driver=(env WINEPREFIX="$scratch/prefix" HOME="$scratch/home" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
        LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
        wine "$build_win/bench/wine/figures.exe" --almanix "$(realpath "$exe")" --bare "$(realpath "$bare")"
        --bare-template "$(realpath "$bare_template")"
        --runs "$runs" --idle "$idle")
set +e
if [ -n "${DISPLAY:-}" ]; then
  "${driver[@]}" | tr -d '\r'
  status=${PIPESTATUS[0]}
else
  # Wine's clients report the virtual display's end; nothing else of stderr is dropped.
  xvfb-run -a -s "-screen 0 1280x1024x24" "${driver[@]}" 2> >(grep -v '^X connection to' >&2) | tr -d '\r'
  status=${PIPESTATUS[0]}
fi
set -e

mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.2f MB", b / 1048576 }'; }
imports() { x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ { print $3 }'; }
# DLLs that every Windows installation has; anything else (a MinGW runtime DLL) would have to
# ship beside the program.
system_dll() {
  case "${1,,}" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|ws2_32.dll| \
    msvcrt.dll|ole32.dll|oleaut32.dll|shlwapi.dll|version.dll|winmm.dll|imm32.dll|uxtheme.dll|ntdll.dll| \
    api-ms-win-*.dll|ucrtbase.dll) return 0 ;;
    *) return 1 ;;
  esac
}
size=$(stat -c %s "$exe")
verdict="met"; [ "$size" -lt $((2 * 1048576)) ] || verdict="MISSED"
printf '| size of the executable | %s | %s | < 2 MB | %s |\n' "$(mb "$exe")" "$(mb "$bare")" "$verdict"
own=$(imports "$exe" | sort -f | paste -sd' ')
verdict="met"
for dll in $(imports "$exe"); do system_dll "$dll" || verdict="MISSED: $dll"; done
printf '| DLLs imported | %s | %s | system DLLs only | %s |\n' "$own" "$(imports "$bare" | sort -f | paste -sd' ')" "$verdict"
exit "$status"
