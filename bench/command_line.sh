#!/usr/bin/env bash
# The command line's speed and what it loads, with no display:
#  - `pagecrier --key` (target: at most 100 ms);
#  - `pagecrier --dry-run --sitemap <file>` of a local site map of 50,000
#    addresses, about 5 MB (target: at most 1 s);
# each the median of RUNS runs (at least 5), in a scratch HOME. Then, for
# each, the Qt libraries the process loaded (listed by the dynamic loader):
# no Qt WebEngine, and no Qt Network when no request is made. No QWidget can
# have been made: the runs have no DISPLAY, WAYLAND_DISPLAY or
# QT_QPA_PLATFORM, where a QApplication cannot start, and Qt stops a program
# that makes a widget without one.
# Exit status 1 when a target is missed or a library that must not load did.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" pagecrier)
program="$build/pagecrier/src/pagecrier"
runs=${RUNS:-9}
((runs >= 5)) || runs=5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/config XDG_DATA_HOME=$tmp/home/data
mkdir -p "$HOME"

# 50,000 addresses on one host, each with a lastmod.
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">'
    seq 1 50000 | awk '{printf "<url><loc>https://example.com/articles/%06d/a-page-about-something.html</loc><lastmod>2024-05-01T10:20:30+00:00</lastmod></url>\n", $1}'
    echo '</urlset>'
} >"$tmp/sitemap.xml"

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
# Prints the milliseconds one run of the program with these arguments takes;
# its output goes to $tmp/out, its status must be 0.
timed() {
    local start end
    start=$(date +%s%N)
    "$program" "$@" >"$tmp/out" 2>"$tmp/err" || {
        echo "pagecrier $* failed:" >&2
        cat "$tmp/err" >&2
        exit 1
    }
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN {printf "%.1f\n", ns / 1e6}'
}

status=0
check() { # name, arguments, target ms
    local name=$1 target=$3 ms verdict=ok
    read -r -a args <<<"$2"
    timed "${args[@]}" >/dev/null # the first run makes the key; warm the disk cache
    for ((i = 0; i < runs; i++)); do timed "${args[@]}"; done >"$tmp/times"
    ms=$(median <"$tmp/times")
    if awk -v ms="$ms" -v t="$target" 'BEGIN {exit !(ms > t)}'; then
        verdict=MISSED
        status=1
    fi
    printf '%-32s %8.1f ms (median of %d; target: at most %d ms) %s\n' "$name" "$ms" "$runs" \
        "$target" "$verdict"
    printf '  output: %s lines, the last: %s\n' "$(wc -l <"$tmp/out")" "$(tail -n 1 "$tmp/out")"
    LD_DEBUG=files LD_DEBUG_OUTPUT=$tmp/ld "$program" "${args[@]}" >/dev/null 2>&1
    local qt
    qt=$(cat "$tmp"/ld.* | sed -n 's/.*file=\(libQt6[A-Za-z]*\)\.so.*/\1/p' | sort -u |
        sed 's/libQt6//' | tr '\n' ' ')
    rm -f "$tmp"/ld.*
    printf '  Qt libraries loaded: %s\n' "$qt"
    for never in WebEngineCore WebEngineWidgets Network; do
        if [[ " $qt " == *" $never "* ]]; then
            printf '  Qt %s loaded: MISSED\n' "$never"
            status=1
        fi
    done
    if grep -q 'QWidget\|QApplication' "$tmp/err"; then
        echo '  a message about widgets: MISSED'
        status=1
    fi
}

echo "no display: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset; QWidget made: none"
check 'pagecrier --key' '--key https://example.com/' 100
check 'dry run, 50,000-address site map' "--dry-run --sitemap $tmp/sitemap.xml" 1000
exit $status
