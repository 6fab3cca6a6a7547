#!/usr/bin/env bash
# The main job: installs what is missing, builds Torvex, starts the demo shop on 127.0.0.1, writes
# the shop's example scenario for that address and runs it with torvex-run: a batch of three load
# tests with 5, 10 and 15 virtual users, 3 iterations each. The run log and each run's report show
# as they come; the reports, the batch's results file and its graphs (PNG pictures) are saved under
# build/demo-results. The shop is always stopped. Exit status: torvex-run's (0 when every run completed without errors).
# TORVEX_DEMO_PORT changes the port.
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

# The scenario names the shop's address in its requests, so it is written for the chosen port.
scenario=$results/shop.tvs
"$root/build/demo/torvex-make-shop-scenario" --server "127.0.0.1:$port" --report-dir "$results" \
    --out "$scenario"
echo "demo: running the scenario ${scenario#"$root"/}: 5, 10 and 15 virtual users," \
    "3 iterations each"

status=0
"$root/build/cli/torvex-run" --results "$results/shop.rlt" --graphs "$results/graphs" "$scenario" ||
    status=$?

# Each run saves its report as <scenario>-<users>x<iterations>.xls in the scenario's report folder.
saved=$(find "$results" -maxdepth 1 -name '*.xls' -newer "$scenario" -printf '%f\n' | sort -V |
    paste -sd ' ')
[ -n "$saved" ] && echo "demo: the reports are saved in ${results#"$root"/}: $saved"
[ "$results/shop.rlt" -nt "$scenario" ] &&
    echo "demo: the results of the batch are saved in ${results#"$root"/}/shop.rlt"
pictures=$(find "$results/graphs" -maxdepth 1 -name '*.png' -newer "$scenario" 2>/dev/null | wc -l)
[ "$pictures" -gt 0 ] &&
    echo "demo: $pictures graphs of the batch are drawn in ${results#"$root"/}/graphs" \
        "(batch-*.png: the six batch graphs; request-*.png: each request's times)"
echo "demo: torvex-run exited with $status (0: every run completed without errors)"
exit "$status"
