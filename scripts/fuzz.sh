#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/<name>_fuzz.cpp) with clang and runs them for a bounded
# time; exits non-zero when a target crashes or a build step fails.
#   scripts/fuzz.sh [SECONDS] [TARGET]
# SECONDS (default 30) is shared evenly by all targets, or all given to TARGET (a name such
# as memo_load). Seeds come from fuzz/corpus/<name>/; inputs found along the way are kept in
# the build folder (ALMANIX_FUZZ_BUILD, default build-fuzz/) and reused by the next run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
only=${2:-}
build=${ALMANIX_FUZZ_BUILD:-$root/build-fuzz}

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS] [TARGET]" >&2
  exit 2
fi

names=()
for src in "$root"/fuzz/*_fuzz.cpp; do
  [ -e "$src" ] || continue
  name=$(basename "$src" _fuzz.cpp)
  if [ -z "$only" ] || [ "$only" = "$name" ] || [ "$only" = "${name}_fuzz" ]; then
    names+=("$name")
  fi
done
if [ ${#names[@]} -eq 0 ]; then
  echo "fuzz: no target ${only:+named $only }in fuzz/" >&2
  exit 2
fi

# ALMANIX_FUZZ_NO_BUILD=1: the folder is built already (the native build makes
# <build>/fuzz-clang, and its fuzz_smoke test only runs the targets).
if [ "${ALMANIX_FUZZ_NO_BUILD:-0}" != 1 ]; then
  cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DALMANIX_FUZZ=ON -DALMANIX_SANITIZE=ON >/dev/null
  targets=()
  for name in "${names[@]}"; do targets+=("${name}_fuzz"); done
  cmake --build "$build" -j2 --target "${targets[@]}"
fi
for name in "${names[@]}"; do
  if [ ! -x "$build/fuzz/${name}_fuzz" ]; then
    echo "fuzz: $build/fuzz/${name}_fuzz is not built (build the native build first)" >&2
    exit 2
  fi
done

each=$(( seconds / ${#names[@]} ))
[ "$each" -ge 1 ] || each=1
status=0
for name in "${names[@]}"; do
  work="$build/fuzz-corpus/$name"
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$work" "$artifacts"
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
  echo "fuzz: $name for ${each}s"
  if ! "$build/fuzz/${name}_fuzz" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[@]}"; then
    echo "fuzz: $name FAILED; the input that failed is in $artifacts/" >&2
    status=1
  fi
done
exit $status
