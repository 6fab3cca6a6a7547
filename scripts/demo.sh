#!/usr/bin/env bash
# The main job: installs what is missing, builds Torvex and runs the console runner.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build
"$root/build/cli/torvex-run" --version
