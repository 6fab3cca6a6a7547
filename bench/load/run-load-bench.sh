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

find_nginx() {
    command -v nginx 2>/dev/null || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true
}

our_policy=""
install_nginx() {
    [ "$(id -u)" -eq 0 ] || die "nginx is missing: apt-get install nginx, or run this as root"
    export DEBIAN_FRONTEND=noninteractive
    # The package would start a system nginx on port 80; keep services down while installing.
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        our_policy=/usr/sbin/policy-rc.d
        printf '#!/bin/sh\nexit 101\n' >"$our_policy"
        chmod 755 "$our_policy"
    fi
    say "installing nginx"
    if ! apt-get install -y -q --no-install-recommends nginx; then
        say "package lists are missing or stale: apt-get update"
        apt-get update -q
        apt-get install -y -q --no-install-recommends nginx
    fi
    if [ -n "$our_policy" ]; then
        rm -f "$our_policy"
        our_policy=""
    fi
}

nginx_bin=$(find_nginx)
[ -n "$nginx_bin" ] || install_nginx
nginx_bin=$(find_nginx)
[ -n "$nginx_bin" ] || die "nginx not found after installing it"

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

prefix=$(mktemp -d /tmp/torvex-load.XXXXXX)
chmod 755 "$prefix" # the workers run as nobody when started by root
mkdir -p "$prefix/html"
cp "$here/index.html" "$prefix/html/"
nginx_pid=""

# shellcheck disable=SC2317 # called by the EXIT trap
cleanup() {
    if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -TERM "$nginx_pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$nginx_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$nginx_pid" 2>/dev/null || true
    fi
    [ -n "$our_policy" ] && rm -f "$our_policy"
    rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port_busy() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start_nginx() {
    local port=$1
    sed -e "s|@PREFIX@|$prefix|g" -e "s|@PORT@|$port|g" -e "s|@NOFILE@|$nofile|g" \
        -e "s|@CONNECTIONS@|$nofile|g" -e "s|@WORKERS@|$workers|g" \
        "$here/nginx.conf.in" >"$prefix/nginx.conf"
    "$nginx_bin" -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log" &
    nginx_pid=$!
    for _ in $(seq 50); do
        kill -0 "$nginx_pid" 2>/dev/null || break
        port_busy "$port" && return 0
        sleep 0.1
    done
    kill -TERM "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=""
    return 1
}

# Below the ephemeral range (usually from 32768), so that no client socket takes the port.
port=""
for _ in $(seq 20); do
    candidate=$((20000 + RANDOM % 10000))
    port_busy "$candidate" && continue
    if start_nginx "$candidate"; then
        port=$candidate
        break
    fi
done
[ -n "$port" ] || die "nginx did not start: $(cat "$prefix/error.log" 2>/dev/null)"
say "nginx $("$nginx_bin" -v 2>&1 | sed 's/^nginx version: //') on 127.0.0.1:$port," \
    "$workers worker(s), pid $nginx_pid"

# "accepts requests" of nginx's status page.
nginx_totals() {
    local reply
    reply=$(exec 3<>"/dev/tcp/127.0.0.1/$port" &&
        printf 'GET /nginx-status HTTP/1.0\r\nHost: localhost\r\n\r\n' >&3 && cat <&3) || return 0
    echo "$reply" | awk '/^ *[0-9]+ +[0-9]+ +[0-9]+ *$/ { print $1, $3 }'
}

# CPU seconds (user and system) and resident MiB of the nginx workers together, from /proc.
nginx_workers() {
    { cat /proc/[0-9]*/stat 2>/dev/null || true; } |
        awk -v parent="$nginx_pid" -v tick="$(getconf CLK_TCK)" -v page="$(getconf PAGESIZE)" '
        { sub(/^[0-9]+ \(.*\) /, "") }
        $2 == parent { cpu += ($12 + $13) / tick; rss += $22 * page / 1048576 }
        END { printf "%.2f %.1f\n", cpu, rss }'
}

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
    grep -v "signal process started" "$prefix/error.log" 2>/dev/null | tail -n 5 || true
    : >"$prefix/error.log"
done
exit "$failed"
