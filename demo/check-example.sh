#!/usr/bin/env bash
# The ctest of the demo: starts the demo shop on a free port, runs the example test script against
# it with torvex-run (2 users, 2 iterations) and expects a clean run; runs it once more with a
# forged sign-in token and expects the shop to refuse it and the script's checks to fail; then
# stops the shop, which must exit cleanly.
# Usage: check-example.sh SHOP RUNNER SCRIPT
set -uo pipefail
shop=$1 runner=$2 script=$3
work=$(mktemp -d)
shop_pid=""
forged_pid=""

stop_shop() {
    [ -n "$shop_pid" ] || return 0
    kill -TERM "$shop_pid" 2>/dev/null
    # A clean stop takes milliseconds; give it 5 s before killing it outright.
    for _ in $(seq 50); do
        kill -0 "$shop_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$shop_pid" 2>/dev/null; then
        kill -KILL "$shop_pid"
        echo "FAIL: the demo shop did not stop on SIGTERM" >&2
        stopped=1
    else
        wait "$shop_pid"
        stopped=$?
    fi
    shop_pid=""
    return "$stopped"
}
trap '[ -z "$forged_pid" ] || kill "$forged_pid" 2>/dev/null; stop_shop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# shellcheck source=demo/start-shop.sh
. "$(dirname "$0")/start-shop.sh"
start_shop "$shop" "$work"

# A second shop on the same port must refuse to start rather than share the port.
if timeout 5 "$shop" --port "$port" >/dev/null 2>"$work/second.err"; then
    fail "a second demo shop started on the taken port $port"
fi
grep -q "cannot listen on 127.0.0.1:$port" "$work/second.err" || fail "no clear message for a taken port"

# The same script with a made-up sign-in token, run alongside: the shop must refuse it (403), and
# the script's own checks must then fail the three pages that need a session: the cart form, the
# cart and the account.
sed 's/^token=.*/token=0123456789abcdef/' "$script" >"$work/forged.tvt"
timeout 30 "$runner" --set clients=1 --set requests=1 --report "$work/forged.txt" \
    "$work/forged.tvt" -host=127.0.0.1 -port="$port" 2>/dev/null &
forged_pid=$!

timeout 30 "$runner" --set clients=2 --set requests=2 --report "$work/report.txt" \
    "$script" -host=127.0.0.1 -port="$port" 2>"$work/runner.err"
status=$?
report=$(cat "$work/report.txt" 2>/dev/null)
[ "$status" -eq 0 ] || fail "torvex-run exited with $status; $(cat "$work/runner.err")$report"
grep -q "Total requests made:" <<<"$report" || fail "no report: $report"
grep -q "Errors report" <<<"$report" && fail "the run had errors: $report"
# Every answer is a page or a redirect: no 4xx or 5xx in the status table.
grep -Eq $'^[45][0-9][0-9]\t' <<<"$report" && fail "error statuses in the report: $report"

wait "$forged_pid"
status=$?
forged_pid=""
forged=$(cat "$work/forged.txt" 2>/dev/null)
[ "$status" -eq 1 ] || fail "a run with a forged token exited with $status: $forged"
grep -q $'^403\t1$' <<<"$forged" || fail "the forged token was not refused once: $forged"
grep -q '^Fail: 3$' <<<"$forged" || fail "the checks did not fail 3 pages: $forged"

stop_shop || fail "the demo shop did not exit cleanly on SIGTERM: $(cat "$work/shop.out")"
echo "demo example: a clean run, and a refused forged sign-in, against port $port"
