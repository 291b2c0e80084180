#!/usr/bin/env bash
# Start-up, submission and memory benchmark. Builds what it needs, then prints:
#  - cold start to the first paint: the time from launching the program to
#    the end of its main window's first paint, and the same for a bare Qt
#    window started the same way in the same run (medians of N runs each,
#    taken in turn), and their ratio (target: at most 1.5). For scale it also
#    times the bare window showing one line of text, and prints where the
#    program's time goes in one run;
#  - the time from an engine button press to the request line at a local
#    server once the pane is ready (median of 30 presses; target: under 20 ms);
#  - the peak resident memory of all the program's processes (the program and
#    its web engine helpers) while it starts and shows an answer page.
# The program timed is the pagecrier executable itself: a probe preloaded into
# it and into the bare window alike notes the first paint. Runs headless
# unless QT_QPA_PLATFORM says otherwise.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" pagecrier first_paint_probe bare_window submit_bench)
program="$build/pagecrier/src/pagecrier"
bare_bin="$build/startup_bench/bare_window"
submit_bin="$build/startup_bench/submit_bench"
probe="$build/startup_bench/libfirst_paint_probe.so"
runs=${RUNS:-15}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export QT_LOGGING_RULES="qt.webenginecontext.debug=false;*.warning=false"
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking --disable-component-update"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
# Prints the nanoseconds from launch to the first paint of the given program.
first_paint() { PAGECRIER_LAUNCH_NS=$(date +%s%N) LD_PRELOAD=$probe "$@" 2>/dev/null; }

# Warm the disk cache once, so each program is measured alike.
first_paint "$bare_bin" text >/dev/null || true
first_paint "$program" >/dev/null || true
for ((i = 0; i < runs; i++)); do
    first_paint "$bare_bin" >>"$tmp/bare"
    first_paint "$program" >>"$tmp/form1"
    first_paint "$bare_bin" text >>"$tmp/text"
done
bare=$(awk '{print $1/1e6}' "$tmp/bare" | median)
text=$(awk '{print $1/1e6}' "$tmp/text" | median)
form1=$(awk '{print $1/1e6}' "$tmp/form1" | median)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a/b}'; }
printf 'first paint, bare Qt window:   %8.1f ms (median of %d)\n' "$bare" "$runs"
printf 'first paint, Pagecrier window: %8.1f ms (median of %d)\n' "$form1" "$runs"
printf 'ratio:                         %8.2f (target: at most 1.50)\n' "$(ratio "$form1" "$bare")"
printf 'for scale, bare window with one line of text: %.1f ms (Pagecrier is %s times that)\n' \
    "$text" "$(ratio "$form1" "$text")"
echo "where the program's time goes, one run (ms since launch):"
PAGECRIER_PROBE_PHASES=1 PAGECRIER_LAUNCH_NS=$(date +%s%N) LD_PRELOAD=$probe "$program" 2>&1 >/dev/null |
    grep -v '^pagecrier:' | sed 's/^/  /'

descendants() {
    echo "$1"
    for child in $(pgrep -P "$1" || true); do descendants "$child"; done
}

# Submission latency, sampling the memory of the whole process tree meanwhile.
"$submit_bin" 30 >"$tmp/submit" 2>/dev/null &
pid=$!
peak=0
while kill -0 "$pid" 2>/dev/null; do
    pids=$(descendants "$pid")
    kb=0
    for p in $pids; do
        r=$(awk '/^VmRSS:/ {print $2}' "/proc/$p/status" 2>/dev/null || true)
        kb=$((kb + ${r:-0}))
    done
    ((kb > peak)) && peak=$kb
    sleep 0.05
done
wait "$pid"
submit=$(median <"$tmp/submit")
printf 'button press to request line:  %8.2f ms (median of %d presses; target: under 20 ms)\n' \
    "$submit" "$(wc -l <"$tmp/submit")"
printf 'peak memory, all processes:    %8.1f MiB (resident, summed over the process tree)\n' \
    "$(awk -v k="$peak" 'BEGIN {print k/1024}')"
