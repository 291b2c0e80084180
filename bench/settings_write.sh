#!/usr/bin/env bash
# Builds the settings write benchmark if needed and prints how long one
# WriteSetting takes (median, 90th percentile, worst), and a whole Save.
# Pass --dir <folder> to measure on the disk that holds that folder.
# Exit status 1 when the median write took longer than 100 ms.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" settings_write_bench)
exec "$build/settings_write_bench/settings_write_bench" "$@"
