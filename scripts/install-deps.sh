#!/usr/bin/env bash
# Installs every Debian package that building, testing and demonstrating Torvex needs.
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
    # build
    build-essential cmake pkg-config locales
    # engine: TLS, hosted JavaScript; the system's trusted authorities, which the recording proxy
    # checks sites against
    libssl-dev ca-certificates duktape-dev
    # console runner, also spread over machines with MPI; the demo site
    libcli11-dev libopenmpi-dev openmpi-bin libcpp-httplib-dev
    # workbench: the desktop program (Qt Widgets, Qt Test), its embedded browser for recording,
    # its graphs (Qt Charts), and a font to draw it with
    qt6-base-dev qt6-qpa-plugins qt6-webengine-dev qt6-charts-dev fonts-dejavu-core
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev libpcre2-dev
    # tests: real proxies; a virtual display for screenshots of the desktop program
    tinyproxy dante-server xvfb xauth
    # fuzzing: clang and libFuzzer's runtime
    clang libclang-rt-14-dev
    # the Debian package: cpack's dependency lookup (dpkg-shlibdeps, file), the desktop entry's
    # check, and Qt's SVG plugins, which the package depends on for icon themes
    dpkg-dev file desktop-file-utils libqt6svg6
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A package list older than a day may name versions the mirror no longer has.
if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -mtime -1 2>/dev/null | head -n 1)" ]; then
    $sudo apt-get update -q
fi
if ! $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
