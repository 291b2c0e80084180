#!/usr/bin/env bash
# Start-up, submission and memory benchmark:
#   bench/startup.sh              on an X server (xcb), what a user sees
#   bench/startup.sh --offscreen  on Qt's offscreen platform
# On X it uses $DISPLAY, or, when that is unset, starts its own Xvfb on a free
# display, with a D-Bus session bus of its own (installing them first if need
# be), and stops both at the end. Builds what it needs, then prints:
#  - cold start to the first paint: the time from launching a program to the
#    end of its first window's first paint, for an empty bare Qt window, the
#    same window showing one line of text, and the pagecrier executable,
#    launched in turn within one run (medians of RUNS runs each, at least 15),
#    and Pagecrier's ratio to the window with text (target: at most 1.30);
#    then where the program's time goes in one run;
#  - the time from launch to the request line at a local server when an
#    engine button is pressed as the first paint ends (the engine is there
#    when the user is);
#  - the time from an engine button press to the request line once the pane
#    is ready (median of 30 presses; target: under 20 ms), and whether the
#    answer page showed on screen (a screenshot of the pane, not blank);
#  - the peak resident memory of all the program's processes (the program and
#    its web engine helpers) while it starts and shows answer pages.
# A probe preloaded into each program (first_paint_probe.cpp) notes the first
# paint, so the program is timed as it is built.
set -euo pipefail
platform=xcb
[[ "${1:-}" == "--offscreen" ]] && platform=offscreen
build=$("$(dirname "$0")/build.sh" pagecrier pagecrier_engine first_paint_probe bare_window \
    submit_bench)
program="$build/pagecrier/src/pagecrier"
bare_bin="$build/startup_bench/bare_window"
submit_bin="$build/startup_bench/submit_bench"
probe="$build/startup_bench/libfirst_paint_probe.so"
runs=${RUNS:-15}
((runs >= 15)) || runs=15
tmp=$(mktemp -d)
xvfb=
bus=
cleanup() {
    # A killed server's exit status, whatever it is, must not end the
    # clean-up early under set -e.
    for server in $bus $xvfb; do
        kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=$platform
if [[ $platform == xcb && -z "${DISPLAY:-}" ]]; then
    command -v Xvfb dbus-daemon >/dev/null || "$(dirname "$0")/../scripts/deps.sh" --bench
    # Xvfb picks a free display and writes its number to the pipe.
    mkfifo "$tmp/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
    xvfb=$!
    read -r -t 10 number <"$tmp/display"
    export DISPLAY=:$number
    # Without a session bus, libdbus starts one itself where dbus-x11 is
    # installed: it stays running after the script and writes ~/.dbus.
    mkfifo "$tmp/bus"
    dbus-daemon --session --nofork --print-address=3 3>"$tmp/bus" 2>/dev/null &
    bus=$!
    read -r -t 10 address <"$tmp/bus"
    export DBUS_SESSION_BUS_ADDRESS=$address
fi
export QT_LOGGING_RULES="qt.webenginecontext.debug=false;*.warning=false"
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update"
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_CACHE_HOME=$tmp/cache
echo "platform: $platform${DISPLAY:+ on display $DISPLAY}"

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
ms() { awk '{print $1/1e6}' "$1" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a/b}'; }
# Prints the nanoseconds from launch to the first paint of the given program.
first_paint() { PAGECRIER_LAUNCH_NS=$(date +%s%N) LD_PRELOAD=$probe "$@" 2>/dev/null; }

# Warm the disk cache once, so each program is measured alike.
first_paint "$bare_bin" text >/dev/null || true
first_paint "$program" >/dev/null || true
for ((i = 0; i < runs; i++)); do
    first_paint "$bare_bin" >>"$tmp/bare"
    first_paint "$bare_bin" text >>"$tmp/text"
    first_paint "$program" >>"$tmp/form1"
done
bare=$(ms "$tmp/bare")
text=$(ms "$tmp/text")
form1=$(ms "$tmp/form1")
printf 'first paint, bare Qt window, empty:          %7.1f ms (median of %d)\n' "$bare" "$runs"
printf 'first paint, bare Qt window, one line of text: %5.1f ms (median of %d)\n' "$text" "$runs"
printf 'first paint, Pagecrier:                      %7.1f ms (median of %d)\n' "$form1" "$runs"
printf 'ratio to the window with text:               %7.2f (target: at most 1.30)\n' \
    "$(ratio "$form1" "$text")"
printf 'ratio to the empty window:                   %7.2f\n' "$(ratio "$form1" "$bare")"
echo "where the program's time goes, one run (ms since launch):"
PAGECRIER_PROBE_PHASES=1 PAGECRIER_LAUNCH_NS=$(date +%s%N) LD_PRELOAD=$probe "$program" 2>&1 >/dev/null |
    grep -v '^pagecrier:' | sed 's/^/  /'

# A press as the first paint ends: launch to the request line.
for ((i = 0; i < 5; i++)); do
    PAGECRIER_LAUNCH_NS=$(date +%s%N) timeout 60 "$submit_bin" first-paint 2>/dev/null >>"$tmp/early"
done
printf 'launch to request line, button pressed at the first paint: %.1f ms (median of 5)\n' \
    "$(ms "$tmp/early")"

descendants() {
    echo "$1"
    for child in $(pgrep -P "$1" || true); do descendants "$child"; done
}

# Submission latency, sampling the memory of the whole process tree meanwhile.
screenshot="$build/startup_bench/answer-page.png"
"$submit_bin" 30 "$screenshot" >"$tmp/submit" 2>/dev/null &
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
submit=$(grep -v '^#' "$tmp/submit" | median)
printf 'button press to request line:  %8.2f ms (median of %d presses; target: under 20 ms)\n' \
    "$submit" "$(grep -vc '^#' "$tmp/submit")"
dark=$(sed -n 's/^# answer page: \([0-9]*\).*/\1/p' "$tmp/submit")
if ((dark > 0)); then
    echo "answer page on screen:         shown ($dark dark pixels in the pane; $screenshot)"
else
    echo "answer page on screen:         BLANK ($screenshot)"
fi
printf 'peak memory, all processes:    %8.1f MiB (resident, summed over the process tree)\n' \
    "$(awk -v k="$peak" 'BEGIN {print k/1024}')"
if [[ -n "$(ls -A "$tmp/cache" 2>/dev/null)" ]]; then
    echo "written to the cache folder: $(cd "$tmp/cache" && ls -A | tr '\n' ' ')"
fi
