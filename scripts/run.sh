#!/usr/bin/env bash
# Installs what is missing, builds and starts Pagecrier.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
exec "${PAGECRIER_BUILD_DIR:-$root/build}/src/pagecrier" "$@"
