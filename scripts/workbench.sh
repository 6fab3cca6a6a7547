#!/usr/bin/env bash
# Installs what is missing, builds Torvex and starts the desktop workbench. Arguments go to the
# program: a scenario (.tvs) or results file (.rlt) to open.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build

# Without a display (and without a platform chosen by hand) a Qt program cannot show a window.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "workbench: no display (DISPLAY and WAYLAND_DISPLAY are not set); start it from a" \
        "desktop session, over 'ssh -X', or in a virtual one: xvfb-run $root/build/workbench/app/Torvex" >&2
    exit 2
fi
# QtWebEngine refuses to run as root with its sandbox on.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$root/build/workbench/app/Torvex" "$@"
