#!/usr/bin/env bash
# Builds the named benchmark programs in ./build-bench (or
# $PAGECRIER_BENCH_BUILD_DIR) and prints that folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAGECRIER_BENCH_BUILD_DIR:-$root/build-bench}
export CCACHE_BASEDIR=$root
cmake -S "$root/bench" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "$@" --parallel "${PAGECRIER_JOBS:-2}" >/dev/null
echo "$build"
