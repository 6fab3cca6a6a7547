#!/usr/bin/env bash
# Installs what is missing, builds Torvex once and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build
ctest --test-dir "$root/build" -j2 --output-on-failure --timeout 600
