#!/usr/bin/env bash
# Installs what is missing, builds the native and the Windows build, and runs every test:
# the native suites with ctest, again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the Windows suites under Wine on a virtual display.
set -uo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh || exit 1

jobs=${ALMANIX_JOBS:-$(nproc)}
# Paths below this folder reach ccache relative, so a clone elsewhere finds what an earlier
# build of the same sources left.
export CCACHE_BASEDIR="$PWD"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build build -j"$jobs" || exit 1
cmake -S . -B build-win -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null || exit 1
cmake --build build-win -j"$jobs" || exit 1
# The sanitizer build: the native suites only (no benchmarks, no fuzz targets: build/ builds
# and runs those with sanitizers already).
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Release -DALMANIX_SANITIZE=ON \
      -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null || exit 1
cmake --build build-asan -j"$jobs" || exit 1

status=0
log=$(mktemp)
ctest --test-dir build --output-on-failure -j"$jobs" 2>&1 | tee "$log" || status=1
ctest --test-dir build-asan --output-on-failure -j"$jobs" 2>&1 | tee -a "$log" || status=1
# The suites beside real CalDAV servers mostly wait on the servers: they run side by side after
# the others.
servers='^sync_(radicale|xandikos|cyrus|bench.*|soak_.*)$'
# Each end-to-end case runs in a prefix and on a display of its own: they run side by side too.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build-win --output-on-failure -j"$jobs" -E "$servers" 2>&1 | tee -a "$log" || status=1
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build-win --output-on-failure -R "$servers" -j3 2>&1 | tee -a "$log" || status=1

# One closing line over all builds.
passed=0; failed=0
while read -r _ _ _ nfail _ _ _ _ total; do
  failed=$((failed + nfail)); passed=$((passed + total - nfail))
done < <(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log")
rm -f "$log"
[ "$failed" -eq 0 ] || status=1
echo "tests: $passed passed, $failed failed"
exit $status
