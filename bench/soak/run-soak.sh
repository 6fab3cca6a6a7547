#!/usr/bin/env bash
# Soak benchmark: does torvex-run's memory stay flat over a long run? Starts the demo shop on a
# free loopback port and runs the example test script demo/shop.tvt against it with many users
# for a fixed time, the script's think times ($delay) kept. Every SOAK_INTERVAL seconds it samples
# /proc/PID/status of torvex-run (VmRSS, VmHWM, Threads) and the shop's VmRSS into a CSV file,
# then prints the resident memory at the end of the warm-up and at the end, the growth between
# them and the slope of a least-squares line through the samples after the warm-up.
#
#   bench/soak/run-soak.sh
#
# Environment:
#   SOAK_MINUTES     length of the run in minutes (default 30)
#   SOAK_USERS       virtual users (default 500)
#   SOAK_RAMP        seconds over which the users are started, one after the other (default 90)
#   SOAK_WARMUP      seconds of warm-up (default: all users started plus 5 minutes, or the first
#                    third of the run when that is longer)
#   SOAK_INTERVAL    seconds between samples (default 10)
#   SOAK_KEEPALIVE   1 keeps the script's keep-alive connections; the default 0 closes the
#                    connection after every request (the demo shop cannot keep 500 connections)
#   SOAK_NODETAILS   1 (default) keeps only per-request aggregates, 0 every request's time
#   TORVEX_SOAK_BUILD  build directory with cli/torvex-run and demo/torvex-demo-shop (default
#                    ./build); both are built there, as RelWithDebInfo when it is new
#
# The CSV, the report, the run log and the shop's log go to BUILD/soak-results. Exit status: 0 when
# the growth after the warm-up stays within max(5% of the warm-up RSS, 10 MiB), 1 when it does
# not, 2 when the run could not be made.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(realpath -m "${TORVEX_SOAK_BUILD:-$PWD/build}")
minutes=${SOAK_MINUTES:-30}
users=${SOAK_USERS:-500}
ramp=${SOAK_RAMP:-90}
interval=${SOAK_INTERVAL:-10}
keepalive=${SOAK_KEEPALIVE:-0}
nodetails=${SOAK_NODETAILS:-1}

say() { echo "soak: $*"; }
die() {
    echo "soak: $*" >&2
    exit 2
}

for value in "$minutes" "$users" "$ramp" "$interval" "${SOAK_WARMUP:-0}"; do
    [[ "$value" =~ ^[0-9]+$ ]] || die "'$value' is not a whole number"
done
if [ "$minutes" -eq 0 ] || [ "$users" -eq 0 ] || [ "$interval" -eq 0 ]; then
    die "SOAK_MINUTES, SOAK_USERS and SOAK_INTERVAL must be above 0"
fi

seconds=$((minutes * 60))
delaystart=$((ramp * 1000 / users))
warmup=${SOAK_WARMUP:-$((ramp + 300 > seconds / 3 ? ramp + 300 : seconds / 3))}
[ "$warmup" -lt "$seconds" ] || die "the warm-up of $warmup s leaves nothing of a $seconds s run"
# An iteration of the script takes at least 1.6 s of think time and the 300 ms of its slow page:
# one iteration per second keeps every user busy until the time limit stops the run.
iterations=$((seconds + 60))

# --- file descriptors: one socket per user in torvex-run and one in the shop ----------------

ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
nofile=$(ulimit -n)
[ "$nofile" = unlimited ] || [ "$nofile" -ge $((users + 64)) ] ||
    say "warning: $users users need more open files than the limit of $nofile"

# --- build ----------------------------------------------------------------------------------

if [ ! -f "$build/CMakeCache.txt" ]; then
    timeout 600 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ||
        die "configuring $build failed (missing packages? see scripts/install-deps.sh)"
fi
timeout 1800 cmake --build "$build" --target torvex-run torvex-demo-shop -j"$(nproc)" >/dev/null ||
    die "building torvex-run and torvex-demo-shop in $build failed"
run=$build/cli/torvex-run
shop_bin=$build/demo/torvex-demo-shop

out=$build/soak-results
mkdir -p "$out"
stamp=$(date +%Y%m%d-%H%M%S)
csv=$out/soak-$stamp.csv
report=$out/soak-$stamp-report.txt
runlog=$out/soak-$stamp-run.log
shoplog=$out/soak-$stamp-shop.log

# --- the shop -------------------------------------------------------------------------------

shop=""
tool=""
stop_pid() {
    kill -"$2" "$1" 2>/dev/null || return 0
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
}
cleanup() {
    [ -z "$tool" ] || stop_pid "$tool" INT
    [ -z "$shop" ] || stop_pid "$shop" TERM
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Port 0: the shop binds a free port and names it in its first line.
"$shop_bin" --port 0 >"$shoplog" 2>&1 &
shop=$!
port=""
for _ in $(seq 100); do
    port=$(sed -n 's|^Demo shop listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$shoplog")
    [ -n "$port" ] && break
    kill -0 "$shop" 2>/dev/null || die "the demo shop did not start: $(cat "$shoplog")"
    sleep 0.1
done
[ -n "$port" ] || die "the demo shop did not say where it listens within 10 s"

# The shop serves a kept-alive connection with one of its 64 worker threads until the client
# closes it, so beyond about 60 users the others wait in its queue and time out. Requests take
# their keep-alive flag from the general option as they are defined, which a --set given after
# the script cannot change: the script is copied with the option switched off.
script=$root/demo/shop.tvt
if [ "$keepalive" = 0 ]; then
    script=$out/shop-no-keepalive.tvt
    sed 's/^keepalive=1\r\{0,1\}$/keepalive=0/' "$root/demo/shop.tvt" >"$script"
    grep -q '^keepalive=0' "$script" || die "demo/shop.tvt has no line keepalive=1 to switch off"
fi

say "demo shop on 127.0.0.1:$port (pid $shop); $users users started $delaystart ms apart," \
    "$minutes min, warm-up $warmup s, a sample every $interval s"
say "script ${script#"$root"/}, keep-alive $keepalive, nodetails $nodetails, open files $nofile"

# --- the run --------------------------------------------------------------------------------

# maxtime ends the run; timeout is the bound should it hang.
bound=$((seconds + ramp + 300))
timeout -s INT -k 30 "$bound" "$run" --report "$report" --set "clients=$users" \
    --set "requests=$iterations" --set "delaystart=$delaystart" --set "maxtime=$seconds" \
    --set "nodetails=$nodetails" --set "reportdir=$out" "$script" "-port=$port" soak \
    2>"$runlog" &
guard=$!
for _ in $(seq 100); do
    tool=$(cat "/proc/$guard/task/$guard/children" 2>/dev/null || true)
    tool=${tool%% *}
    [ -n "$tool" ] && break
    sleep 0.1
done
[ -n "$tool" ] || die "torvex-run did not start: $(cat "$runlog")"

# Prints "VmRSS VmHWM Threads" (KiB, KiB, count) of a process; nothing once it has ended.
proc_status() {
    awk '$1 == "VmRSS:" { r = $2 } $1 == "VmHWM:" { h = $2 } $1 == "Threads:" { t = $2 }
         END { if (r != "") print r, h, t }' "/proc/$1/status" 2>/dev/null || true
}
# The last progress line of the run log: "done/planned requests, rate req/s, errors errors, time".
progress() {
    grep -a -o '^[0-9]*/[0-9]* requests, [0-9.]* req/s, [0-9]* errors' "$runlog" | tail -n 1 |
        awk '{ split($1, done, "/"); print done[1], $5 }' || true
}

echo "seconds,torvex_rss_kib,torvex_hwm_kib,torvex_threads,shop_rss_kib,requests,errors" >"$csv"
start=$(date +%s)
while kill -0 "$tool" 2>/dev/null; do
    read -r rss hwm threads <<<"$(proc_status "$tool")"
    [ -n "${rss:-}" ] || break
    read -r shop_rss _ _ <<<"$(proc_status "$shop")"
    read -r done_requests errors <<<"$(progress)"
    echo "$(($(date +%s) - start)),$rss,$hwm,$threads,${shop_rss:-},${done_requests:-0},${errors:-0}" \
        >>"$csv"
    sleep "$interval"
done
status=0
wait "$guard" || status=$?
tool=""
say "torvex-run exited with $status after $(($(date +%s) - start)) s"
[ "$status" -lt 2 ] || [ "$status" -eq 130 ] ||
    die "the run failed (exit $status): $(tail -n 5 "$runlog")"

# --- results --------------------------------------------------------------------------------

made=$(sed -n 's/^Total requests made:[[:space:]]*//p' "$report")
failed=$(sed -n 's/^Total \([0-9]*\) errors!!!$/\1/p' "$report")
say "requests made: ${made:-?}, errors: ${failed:-0} (report: $report)"
say "samples: $csv"

# The samples while the users ran: from the end of the warm-up up to the time limit.
awk -F, -v warmup="$warmup" -v last="$seconds" '
    NR == 1 || $1 > last { next }
    $1 < warmup { next }
    {
        if (n == 0) { t0 = $1; r0 = $2; s0 = $5 }
        n++; t = $1 / 60; sx += t; sy += $2; sxx += t * t; sxy += t * $2
        t1 = $1; r1 = $2; s1 = $5; hwm = $3; threads = $4
    }
    END {
        if (n < 3) { print "soak: fewer than 3 samples after the warm-up" > "/dev/stderr"; exit 2 }
        slope = (n * sxy - sx * sy) / (n * sxx - sx * sx)
        growth = r1 - r0
        limit = r0 * 0.05 > 10240 ? r0 * 0.05 : 10240
        printf "soak: torvex-run RSS at the end of the warm-up (%d s): %.1f MiB\n", t0, r0 / 1024
        printf "soak: torvex-run RSS at the end (%d s): %.1f MiB (peak %.1f MiB, %d threads)\n",
            t1, r1 / 1024, hwm / 1024, threads
        printf "soak: growth after the warm-up: %+.2f MiB (%+.2f%%), limit %.1f MiB\n",
            growth / 1024, 100 * growth / r0, limit / 1024
        printf "soak: slope of RSS after the warm-up: %+.1f KiB per minute (%d samples)\n", slope, n
        printf "soak: demo shop RSS: %.1f MiB -> %.1f MiB\n", s0 / 1024, s1 / 1024
        if (growth > limit) { print "soak: verdict: memory GROWS"; exit 1 }
        print "soak: verdict: memory flat"
    }' "$csv"
