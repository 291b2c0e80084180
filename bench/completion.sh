#!/usr/bin/env bash
# Builds the completion benchmark if needed, runs it headless and prints how
# long one keystroke in the address field takes to show its candidates.
# Exit status 1 when a keystroke took longer than 50 ms.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" completion_bench)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$build/completion_bench/completion_bench" "$@"
