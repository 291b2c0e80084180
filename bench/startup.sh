#!/usr/bin/env bash
# Start-up, submission and memory benchmark. Builds what it needs, then prints:
#  - cold start to the first paint, for the main window and for a bare Qt
#    window started the same way in the same run (medians of N runs each,
#    alternating), and their ratio (target: at most 1.5);
#  - the time from an engine button press to the request line at a local
#    server once the pane is ready (median of 30 presses; target: under 20 ms);
#  - the peak resident memory of all the program's processes (the program and
#    its web engine helpers) while it starts and shows an answer page.
# Runs headless unless QT_QPA_PLATFORM says otherwise.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" startup_bench bare_window)
bin="$build/startup_bench/startup_bench"
bare_bin="$build/startup_bench/bare_window"
runs=${RUNS:-7}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export QT_LOGGING_RULES="qt.webenginecontext.debug=false;*.warning=false"
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking --disable-component-update"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }

# Warm the disk cache once, so each program is measured alike.
"$bare_bin" "$(date +%s%N)" >/dev/null 2>&1 || true
"$bin" form1 "$(date +%s%N)" >/dev/null 2>&1 || true
for ((i = 0; i < runs; i++)); do
    "$bare_bin" "$(date +%s%N)" 2>/dev/null >>"$tmp/bare"
    "$bin" form1 "$(date +%s%N)" 2>/dev/null >>"$tmp/form1"
done
bare=$(awk '{print $1/1e6}' "$tmp/bare" | median)
form1=$(awk '{print $1/1e6}' "$tmp/form1" | median)
printf 'first paint, bare Qt window:   %8.1f ms (median of %d)\n' "$bare" "$runs"
printf 'first paint, Pagecrier window: %8.1f ms (median of %d)\n' "$form1" "$runs"
printf 'ratio:                         %8.2f (target: at most 1.50)\n' "$(awk -v a="$form1" -v b="$bare" 'BEGIN {print a/b}')"

descendants() {
    echo "$1"
    for child in $(pgrep -P "$1" || true); do descendants "$child"; done
}

# Submission latency, sampling the memory of the whole process tree meanwhile.
"$bin" submit 30 >"$tmp/submit" 2>/dev/null &
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
