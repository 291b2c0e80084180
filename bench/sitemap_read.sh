#!/usr/bin/env bash
# Builds the site map benchmark if needed and prints how long reading takes
# and how much memory it adds at its peak: a 50,000-address site map (about
# 5 MB) read from a file and listed, and an index of 20 such site maps read
# from a local server and listed.
# Exit status 1 when the file took over 1 s to read and list or +100 MB, or
# the index over 10 s to read or +300 MB. The processor time is shown too: on
# a busy machine the wall-clock time says little.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" sitemap_read_bench pagecrier_net)
exec "$build/sitemap_bench/sitemap_read_bench" "$@"
