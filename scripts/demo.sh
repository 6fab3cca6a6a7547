#!/usr/bin/env bash
# The main job: installs what is missing, builds Torvex, starts the demo shop on 127.0.0.1 and
# runs the example test script demo/shop.tvt against it with 20 virtual users and 5 iterations
# each. Prints the report and saves it under build/demo-results. The shop is always stopped.
# Exit status: torvex-run's (0 when every request succeeded). TORVEX_DEMO_PORT changes the port.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=${TORVEX_DEMO_PORT:-8090}
results=$root/build/demo-results

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build

answers() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

# Whatever listens there would receive the test's requests instead of the shop.
if answers; then
    echo "demo: port $port of 127.0.0.1 is taken; stop the program that listens there" \
        "or choose another port with TORVEX_DEMO_PORT=N" >&2
    exit 1
fi

mkdir -p "$results"
shop_log=$results/demo-shop.log
"$root/build/demo/torvex-demo-shop" --port "$port" >"$shop_log" 2>&1 &
shop=$!
stop_shop() {
    kill -TERM "$shop" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$shop" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$shop" 2>/dev/null || true
}
trap stop_shop EXIT

for _ in $(seq 100); do
    answers && break
    if ! kill -0 "$shop" 2>/dev/null; then
        echo "demo: the demo shop did not start:" >&2
        cat "$shop_log" >&2
        exit 1
    fi
    sleep 0.1
done
answers || { echo "demo: the demo shop does not answer on port $port after 10 s" >&2; exit 1; }
echo "demo: the demo shop is at http://127.0.0.1:$port/ (log: $shop_log)"
echo "demo: running demo/shop.tvt with 20 virtual users, 5 iterations each"

status=0
"$root/build/cli/torvex-run" --set clients=20 --set requests=5 --set reportdir="$results" \
    "$root/demo/shop.tvt" -host=127.0.0.1 -port="$port" || status=$?

# The runner saves the report it printed as the results file (named by the option "outfile").
saved=$(find "$results" -maxdepth 1 -name '*.xls' -newer "$shop_log" | head -n 1)
[ -n "$saved" ] && echo "demo: the report is saved in ${saved#"$root"/}"
echo "demo: torvex-run exited with $status (0: every request succeeded)"
exit "$status"
