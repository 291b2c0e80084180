#!/usr/bin/env bash
# Start-up with a hostile settings file. For each file below it starts the
# program (headless, the favorites to be loaded at start-up) and prints the
# time from launch to the first window painted (the main window, or the
# message refusing the file) and the peak resident memory of the program's
# own process, beside a start with no settings file.
# Targets: under 2 s, and at most 300 MB above the start with no file.
# Exit status 1 when a target is missed.
set -euo pipefail
build=$("$(dirname "$0")/build.sh" pagecrier first_paint_probe)
program="$build/pagecrier/src/pagecrier"
probe="$build/startup_bench/libfirst_paint_probe.so"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export QT_LOGGING_RULES="qt.webenginecontext.debug=false;*.warning=false"
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking --disable-component-update"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
ini=$XDG_CONFIG_HOME/pagecrier/pagecrier.ini
mb50=$((50 * 1000 * 1000))
bound=$((16 * 1024 * 1024)) # the store's bound (SettingsStore::kMaxFileSize)

# Writes a file of about $2 bytes of the kind $1.
make_file() {
    mkdir -p "$(dirname "$ini")"
    case $1 in
    blank) head -c "$2" /dev/zero | tr '\0' '\n' ;;
    entries) { echo '[Pagecrier/favs]' && echo 'startup=1' &&
        yes 'k=v' | head -c "$2"; } ;;
    huge) { printf '[Pagecrier/favs]\nstartup=1\nurl=' && head -c "$2" /dev/zero | tr '\0' 'x'; } ;;
    junk) head -c "$2" /dev/urandom ;;
    esac >"$ini"
}

# Prints "<ms to first paint> <peak RSS in kB>" for one start.
run() {
    local out
    out=$(PAGECRIER_LAUNCH_NS=$(date +%s%N) LD_PRELOAD=$probe \
        /usr/bin/time -f 'rss %M' "$program" 2>&1 >"$tmp/ns" | grep '^rss' || true)
    echo "$(awk '{printf "%.0f", $1/1e6}' "$tmp/ns") ${out#rss }"
}

rm -f "$ini"
run >/dev/null # warm the disk cache
read -r base_ms base_kb < <(run)
printf '%-34s %7s ms %8s MB\n' 'no settings file' "$base_ms" "$((base_kb / 1024))"
status=0
for size in $mb50 $((bound - 64)); do
    for kind in blank entries huge junk; do
        make_file "$kind" "$size"
        read -r ms kb < <(run)
        extra=$(((kb - base_kb) / 1024))
        verdict=ok
        if ((ms >= 2000 || extra > 300)); then
            verdict=MISSED
            status=1
        fi
        printf '%-34s %7s ms %8s MB (+%s MB) %s\n' "$kind, $(stat -c %s "$ini") bytes" "$ms" \
            "$((kb / 1024))" "$extra" "$verdict"
        rm -f "$ini"
    done
done
exit $status
