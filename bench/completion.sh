#!/usr/bin/env bash
# Builds the completion benchmark if needed, runs it headless and prints how
# long one keystroke in the address field takes to show its candidates.
# Exit status 1 when a keystroke took longer than 50 ms.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAGECRIER_BENCH_BUILD_DIR:-$root/build-bench-completion}
export CCACHE_BASEDIR=$root
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root/bench/completion_bench" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target completion_bench --parallel "${PAGECRIER_JOBS:-2}" >/dev/null
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$build/completion_bench" "$@"
