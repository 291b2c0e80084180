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
# The processor time each used is printed too: on a busy machine the time
# taken grows with the load, the processor time hardly.
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
# Sets $cpu to the processor time (user and system) that the shell's
# finished children have used so far, in ms (`times` run in this shell, not
# in a subshell, whose children are its own; no program started to read it).
children_cpu() {
    local line
    times >"$tmp/times-now"
    { read -r line && read -r line; } <"$tmp/times-now" # the second line: the children
    [[ $line =~ ^([0-9]+)m([0-9]+)\.([0-9]{3})s\ ([0-9]+)m([0-9]+)\.([0-9]{3})s$ ]]
    local r=("${BASH_REMATCH[@]}")
    cpu=$(((10#${r[1]} * 60 + 10#${r[2]}) * 1000 + 10#${r[3]} + (10#${r[4]} * 60 + 10#${r[5]}) * 1000 + 10#${r[6]}))
}
# Prints the milliseconds one run of the program with these arguments takes,
# and the processor time it used; the clock is the shell's own, so no other
# program is started around it. Its output goes to $tmp/out, its status must
# be 0.
timed() {
    local start end before
    children_cpu
    before=$cpu
    start=$EPOCHREALTIME
    "$program" "$@" >"$tmp/out" 2>"$tmp/err" || {
        echo "pagecrier $* failed:" >&2
        cat "$tmp/err" >&2
        exit 1
    }
    end=$EPOCHREALTIME
    children_cpu
    awk -v s="$start" -v e="$end" -v c="$((cpu - before))" \
        'BEGIN {printf "%.1f %d\n", (e - s) * 1000, c}'
}

status=0
check() { # name, arguments, target ms
    local name=$1 target=$3 ms verdict=ok
    read -r -a args <<<"$2"
    timed "${args[@]}" >/dev/null # the first run makes the key; warm the disk cache
    : >"$tmp/times"
    for ((i = 0; i < runs; i++)); do timed "${args[@]}" >>"$tmp/times"; done
    ms=$(cut -d' ' -f1 "$tmp/times" | median)
    cpu=$(cut -d' ' -f2 "$tmp/times" | median)
    if awk -v ms="$ms" -v t="$target" 'BEGIN {exit !(ms > t)}'; then
        verdict=MISSED
        status=1
    fi
    printf '%-32s %8.1f ms (median of %d; target: at most %d ms) %s\n' "$name" "$ms" "$runs" \
        "$target" "$verdict"
    printf '  processor time: %.0f ms (median)\n' "$cpu"
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

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
echo "no display: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset; QWidget made: none"
check 'pagecrier --key' '--key https://example.com/' 100
check 'dry run, 50,000-address site map' "--dry-run --sitemap $tmp/sitemap.xml" 1000
exit $status
