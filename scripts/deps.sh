#!/usr/bin/env bash
# Installs the Debian 12 packages Pagecrier needs to build, run and test,
# skipping the ones already there. Runs apt-get through sudo unless root.
# --test adds what the test suite needs, --bench what the benchmarks need.
set -euo pipefail

packages=(
    # build
    cmake g++ make ccache pkg-config
    # packaging: cpack's .deb generator reads library dependencies with dpkg-shlibdeps
    dpkg-dev
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libgl-dev
    # compressed site maps are inflated with zlib
    zlib1g-dev
    # run: the web engine's helper process, its resources and fonts; without
    # DejaVu, fontconfig's "sans-serif" falls to Liberation Mono on a fresh system
    libqt6webenginecore6-bin qt6-qpa-plugins fonts-liberation fonts-dejavu-core
)
for arg in "$@"; do
    case $arg in
    --test) packages+=(
        # the Windows registry test: cross compiler and Wine
        mingw-w64 wine wine64
        # desktop metadata validation
        desktop-file-utils appstream
        # the start-up test runs the program on an X server and a session bus of its own
        xvfb dbus-daemon
    ) ;;
    # bench/startup.sh times the start on an X server and a session bus of its own
    --bench) packages+=(xvfb dbus-daemon) ;;
    *) echo "usage: $0 [--test] [--bench]" >&2 && exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi
