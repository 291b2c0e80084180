#!/usr/bin/env bash
# Paint gap while a large site map is read:
#   bench/sitemap_paint.sh              on an X server (xcb), what a user sees
#   bench/sitemap_paint.sh --offscreen  on Qt's offscreen platform
# Writes an index of 20 site maps of 50,000 addresses each (about 5 MB each)
# and serves them from a local web server in a process of its own; then the
# site-map dialog of a shown main window reads the index while the main
# window is repainted every 16 ms. Prints the time to read and list the
# million addresses and the longest gap between two paints of the main
# window (target: at most 100 ms). On X it uses $DISPLAY, or starts its own
# Xvfb when that is unset.
set -euo pipefail
platform=xcb
[[ "${1:-}" == "--offscreen" ]] && platform=offscreen
build=$("$(dirname "$0")/build.sh" sitemap_paint_bench pagecrier_engine pagecrier_net)
tmp=$(mktemp -d)
server= xvfb=
cleanup() {
    for pid in $server $xvfb; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT

# The site: a port that is free now, the index and its site maps.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
site=http://127.0.0.1:$port
mkdir "$tmp/site"
python3 - "$tmp/site" "$site" <<'PY'
import sys
folder, site = sys.argv[1], sys.argv[2]
with open(f"{folder}/index.xml", "w") as index:
    index.write('<?xml version="1.0" encoding="UTF-8"?>\n<sitemapindex xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">\n')
    for m in range(20):
        index.write(f"<sitemap><loc>{site}/map{m}.xml</loc></sitemap>\n")
        with open(f"{folder}/map{m}.xml", "w") as out:
            out.write('<?xml version="1.0" encoding="UTF-8"?>\n<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">\n')
            for n in range(50000):
                out.write(f"<url><loc>{site}/section-{m}/article-{n}.html</loc><lastmod>2026-11-{1 + n % 28:02d}T10:20:30+00:00</lastmod></url>\n")
            out.write("</urlset>\n")
    index.write("</sitemapindex>\n")
PY
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$tmp/site" >/dev/null 2>&1 &
server=$!
for ((i = 0; i < 50; i++)); do
    python3 -c "import urllib.request; urllib.request.urlopen('$site/index.xml')" 2>/dev/null && break
    sleep 0.1
done

export QT_QPA_PLATFORM=$platform
if [[ $platform == xcb && -z "${DISPLAY:-}" ]]; then
    command -v Xvfb >/dev/null || "$(dirname "$0")/../scripts/deps.sh" --bench
    mkfifo "$tmp/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
    xvfb=$!
    read -r -t 10 number <"$tmp/display"
    export DISPLAY=:$number
fi
export QT_LOGGING_RULES="qt.webenginecontext.debug=false;*.warning=false"
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update"
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_CACHE_HOME=$tmp/cache
echo "platform: $platform${DISPLAY:+ on display $DISPLAY}; 20 site maps of 50,000 addresses, $(du -sh "$tmp/site" | cut -f1) in all"
"$build/sitemap_paint_bench/sitemap_paint_bench" "$site/index.xml" 2>/dev/null
