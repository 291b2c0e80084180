#!/usr/bin/env bash
# Builds the settings write benchmark if needed and prints how long one
# WriteSetting takes (median, 90th percentile, worst), and a whole Save.
# Pass --dir <folder> to measure on the disk that holds that folder.
# Exit status 1 when the median write took longer than 100 ms.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAGECRIER_BENCH_BUILD_DIR:-$root/build-bench-settings}
export CCACHE_BASEDIR=$root
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root/bench/settings_write_bench" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target settings_write_bench --parallel "${PAGECRIER_JOBS:-2}" >/dev/null
exec "$build/settings_write_bench" "$@"
