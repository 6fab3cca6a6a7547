#!/usr/bin/env bash
# The ctest of the demo's scenario: starts the demo shop on a free port, writes the example
# scenario for it, runs it with torvex-run as the batch it is (5, 10 and 15 virtual users) and
# expects three clean runs, their three reports and a results file holding all three.
# Usage: check-scenario.sh SHOP MAKER RUNNER
set -uo pipefail
shop=$1 maker=$2 runner=$3
work=$(mktemp -d)
shop_pid=""
trap '[ -z "$shop_pid" ] || kill "$shop_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# shellcheck source=demo/start-shop.sh
. "$(dirname "$0")/start-shop.sh"
start_shop "$shop" "$work"

# The tester's own global settings (a proxy, a short time-out) must not reach this run.
export XDG_CONFIG_HOME=$work/config

"$maker" --server "127.0.0.1:$port" --report-dir "$work/reports" --out "$work/shop.tvs" ||
    fail "the scenario was not written"

timeout 60 "$runner" --results "$work/shop.rlt" "$work/shop.tvs" >"$work/reports.txt" \
    2>"$work/log.txt"
status=$?
log=$(cat "$work/log.txt")
[ "$status" -eq 0 ] || fail "torvex-run exited with $status: $log"

# One run per step of the batch, in order, each with its report on standard output.
finished=$(sed -n 's/^MESSAGE> *Finished "shop.tvs - Virtual users=\([0-9]*\)"$/\1/p' <<<"$log" |
    paste -sd ' ')
[ "$finished" = "5 10 15" ] || fail "not the runs with 5, 10 and 15 users: $log"
grep -q '^MESSAGE> *All tasks finished$' <<<"$log" || fail "the batch did not end: $log"
[ "$(grep -c '^Total requests made:' "$work/reports.txt")" -eq 3 ] ||
    fail "not three reports on standard output: $(cat "$work/reports.txt")"

# Each run's report is saved as <scenario>-<users>x<iterations>.xls in the report folder.
for users in 5 10 15; do
    report=$work/reports/shop-${users}x3.xls
    [ -s "$report" ] || fail "no report $report: $(ls "$work/reports" 2>&1)"
    grep -q "^Virtual users: $users"$'\r'"\?$" "$report" || fail "$report is not the run's report"
done

# The results file: the list version, then the number of records, which must be the three runs.
[ -s "$work/shop.rlt" ] || fail "no results file"
records=$(od -An -t u4 -j 4 -N 4 "$work/shop.rlt" | tr -d ' ')
[ "$records" = 3 ] || fail "the results file holds $records runs instead of 3"
[ "$(stat -c %s "$work/shop.rlt")" -gt 3000 ] || fail "the results file is too small to hold 3 runs"

echo "demo scenario: a batch of 3 clean runs against port $port, reports and results saved"
