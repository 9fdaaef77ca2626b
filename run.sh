#!/usr/bin/env bash
# Installs what is missing, builds almanix.exe and starts it under Wine. Without a display it
# runs on a virtual one, saves a screenshot of the painted window and ends the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-win -j"$(nproc)" --target almanix
exe=build-win/src/app/almanix.exe
if [ -n "${DISPLAY:-}" ]; then
  exec build-win/wine-run.sh "$exe"
fi
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/snap.sh build-win/wine-run.sh "$exe" build-win/almanix.png
echo "screenshot: $(realpath build-win/almanix.png)"
