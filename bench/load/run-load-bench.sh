#!/usr/bin/env bash
# Load benchmark: starts a foreground nginx on a free loopback port, builds torvex_load_bench and
# runs it once per scenario given on the command line, then stops nginx.
#
#   bench/load/run-load-bench.sh [USERS[:SECONDS[:DELAY_MS[:DELAYSTART_MS[:ABORTSEQ]]]]]...
#
# Default scenario: 1000:30:1000:1:1 (1000 users, each sending one request per 1000 ms for 30 s,
# started 1 ms apart, engine option abortseq 1 as by default). Environment:
#   TORVEX_BENCH_BUILD   build directory (default ./build-bench); configured as Release when it
#                        has no CMakeCache.txt
#   NGINX_WORKERS        nginx worker processes (default 1)
# Installs nginx with apt-get when it is missing (as root). The build needs the packages of
# scripts/install-deps.sh. Exits with 1 when a scenario missed its target.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${TORVEX_BENCH_BUILD:-$PWD/build-bench}
workers=${NGINX_WORKERS:-1}
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(1000:30:1000:1:1)

say() { echo "load-bench: $*"; }
die() {
    echo "load-bench: $*" >&2
    exit 2
}

for scenario in "${scenarios[@]}"; do
    [[ "$scenario" =~ ^[0-9]+(:[0-9]+){0,4}$ ]] ||
        die "bad scenario '$scenario': USERS[:SECONDS[:DELAY_MS[:DELAYSTART_MS[:ABORTSEQ]]]]"
done

# --- nginx ------------------------------------------------------------------------------------

# shellcheck source-path=SCRIPTDIR source=../lib/nginx.sh
. "$here/../lib/nginx.sh"
nginx_require

# --- file descriptors: every user holds one socket in the engine and one in nginx --------------

for limit in 1048576 262144 65536; do
    if ulimit -n "$limit" 2>/dev/null; then break; fi
done
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
nofile=$(ulimit -n)
[ "$nofile" = unlimited ] && nofile=1048576
say "open files limit: $nofile"

# --- build --------------------------------------------------------------------------------------

if [ ! -f "$build/CMakeCache.txt" ]; then
    timeout 600 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null ||
        die "configuring $build failed (missing packages? see scripts/install-deps.sh)"
fi
timeout 1800 cmake --build "$build" --target torvex_load_bench -j"$(nproc)" >/dev/null ||
    die "building torvex_load_bench failed"
driver="$build/bench/torvex_load_bench"

# --- start nginx --------------------------------------------------------------------------------

trap nginx_stop EXIT
trap 'exit 130' INT TERM
nginx_start "$here/nginx.conf.in" "$here/index.html" "s|@NOFILE@|$nofile|g" \
    "s|@CONNECTIONS@|$nofile|g" "s|@WORKERS@|$workers|g"
port=$nginx_port
say "nginx $(nginx_version) on 127.0.0.1:$port, $workers worker(s), pid $nginx_pid"

# --- scenarios ----------------------------------------------------------------------------------

failed=0
for scenario in "${scenarios[@]}"; do
    IFS=: read -r users seconds delay delaystart abortseq <<<"$scenario"
    seconds=${seconds:-30}
    delay=${delay:-1000}
    delaystart=${delaystart:-1}
    abortseq=${abortseq:-1}
    # One socket per user in the driver; nginx closes idle keep-alive connections once fewer than
    # a sixteenth of a worker's connections are free.
    if [ $((users + 16)) -gt "$nofile" ] || [ $((users * 16)) -gt $((nofile * workers * 15)) ]; then
        say "warning: $users users need more open files than the limit of $nofile" \
            "(nginx with $workers worker(s) keeps at most $((nofile * workers * 15 / 16)) idle)"
    fi
    # The driver stops its run by itself (its time limit is seconds + users x (delaystart + 3) ms
    # + 30 s); this is the bound should it hang.
    bound=$((seconds + users * (delaystart + 3) / 1000 + 90))
    echo
    say "scenario: $users users, $seconds s, delay $delay ms, delaystart $delaystart ms," \
        "abortseq $abortseq"
    read -r accepts_before requests_before <<<"$(nginx_totals)"
    read -r cpu_before _ <<<"$(nginx_workers)"
    status=0
    timeout "$bound" "$driver" --port "$port" --users "$users" --seconds "$seconds" \
        --delay "$delay" --delaystart "$delaystart" --abortseq "$abortseq" || status=$?
    read -r accepts_after requests_after <<<"$(nginx_totals)"
    if [ -n "${accepts_after:-}" ] && [ -n "${accepts_before:-}" ]; then
        # Less one connection and request for the status query itself.
        echo "nginx: $((accepts_after - accepts_before - 1)) connections accepted," \
            "$((requests_after - requests_before - 1)) requests served"
    fi
    read -r cpu_after rss_after <<<"$(nginx_workers)"
    cpu_run=$(awk -v a="$cpu_before" -v b="$cpu_after" 'BEGIN { printf "%.2f", b - a }')
    echo "nginx workers: CPU $cpu_run s in this run, VmRSS $rss_after MiB"
    case $status in
    0) ;;
    1) failed=1 ;;
    124) say "the driver did not end within $bound s" && failed=1 ;;
    *) say "the driver failed (exit $status)" && failed=1 ;;
    esac
    grep -v "signal process started" "$nginx_prefix/error.log" 2>/dev/null | tail -n 5 || true
    : >"$nginx_prefix/error.log"
done
exit "$failed"
