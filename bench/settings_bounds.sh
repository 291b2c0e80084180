#!/usr/bin/env bash
# Start-up with a hostile settings file or address list: 50 MB ones, and ones
# just under the bound. For each it starts the program (headless; the
# favorites are loaded at start-up and the lists read, as "auto" is on) and
# prints the time from launch to the first window painted (the main window,
# or the message refusing the file) and the peak resident memory of the
# program's own process, beside a start with no settings file.
# Targets: under 2 s, and at most 300 MB above the start with no file.
# Exit status 1 when a target is missed. SIZES and KINDS narrow the runs.
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
bound=$((1024 * 1024)) # the store's bound (SettingsStore::kMaxFileSize)

# Writes a file of about $2 bytes of the kind $1.
make_file() {
    mkdir -p "$(dirname "$ini")"
    set +o pipefail # yes and head end each other's pipes
    case $1 in
    blank) head -c "$2" /dev/zero | tr '\0' '\n' ;;
    entries) { echo '[Pagecrier/favs]' && echo 'startup=1' &&
        yes 'k=v' | head -c "$2"; } ;;
    huge) { printf '[Pagecrier/favs]\nstartup=1\nurl=' && head -c "$2" /dev/zero | tr '\0' 'x'; } ;;
    emoji) { printf '[Pagecrier/favs]\nstartup=1\nurl=' &&
        yes $'\U0001F600' | tr -d '\n' | head -c $(($2 / 4 * 4)); } ;;
    junk) head -c "$2" /dev/urandom ;;
    list) # no settings file: a typed-addresses list of short entries instead
        mkdir -p "$XDG_DATA_HOME/pagecrier"
        { printf '{"format":"pagecrier-addresses","addresses":["a"' &&
            yes ',"a"' | tr -d '\n' | head -c "$2" && printf ']}'; } \
            >"$XDG_DATA_HOME/pagecrier/typed-addresses.json"
        rm -f "$ini"
        return ;;
    esac >"$ini"
    set -o pipefail
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
for size in ${SIZES:-$mb50 $((bound - 64)) $((4 * bound - 64))}; do
    for kind in ${KINDS:-blank entries huge emoji junk list}; do
        make_file "$kind" "$size"
        read -r ms kb < <(run)
        extra=$(((kb - base_kb) / 1024))
        verdict=ok
        if ((ms >= 2000 || extra > 300)); then
            verdict=MISSED
            status=1
        fi
        printf '%-34s %7s ms %8s MB (+%s MB) %s\n' "$kind, $size bytes" "$ms" \
            "$((kb / 1024))" "$extra" "$verdict"
        rm -rf "$ini" "$XDG_DATA_HOME"
    done
done
exit $status
