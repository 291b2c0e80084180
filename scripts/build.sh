#!/usr/bin/env bash
# Configures and builds Pagecrier in ./build (or $PAGECRIER_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAGECRIER_BUILD_DIR:-$root/build}
export CCACHE_BASEDIR=$root
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"
