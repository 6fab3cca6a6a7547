# Shared parts of the benchmark scripts that run nginx on the loopback address: installing
# packages, starting a foreground nginx on a free port under a temporary prefix, reading its
# request totals and its workers' CPU time, and stopping it.
#
# Source this file after defining `say MESSAGE...` (progress) and `die MESSAGE...` (print to
# standard error and exit 2). Call nginx_stop from the script's EXIT trap.
# shellcheck shell=bash

nginx_bin=""
nginx_pid=""
nginx_port=""
nginx_prefix=""
bench_policy=""

# Installs Debian packages with apt-get (as root), with services kept down meanwhile: the nginx
# package would otherwise start a system nginx on port 80.
bench_apt_install() {
    [ "$(id -u)" -eq 0 ] || die "$* missing: apt-get install $*, or run this as root"
    export DEBIAN_FRONTEND=noninteractive
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        bench_policy=/usr/sbin/policy-rc.d
        printf '#!/bin/sh\nexit 101\n' >"$bench_policy"
        chmod 755 "$bench_policy"
    fi
    say "installing $*"
    # apt-get's chatter goes to standard error, which keeps standard output for the results.
    if ! apt-get install -y -q --no-install-recommends "$@" >&2; then
        say "package lists are missing or stale: apt-get update"
        apt-get update -q >&2
        apt-get install -y -q --no-install-recommends "$@" >&2
    fi
    if [ -n "$bench_policy" ]; then
        rm -f "$bench_policy"
        bench_policy=""
    fi
}

nginx_find() {
    command -v nginx 2>/dev/null || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true
}

# Sets nginx_bin, installing nginx when it is missing.
nginx_require() {
    nginx_bin=$(nginx_find)
    [ -n "$nginx_bin" ] || bench_apt_install nginx
    nginx_bin=$(nginx_find)
    [ -n "$nginx_bin" ] || die "nginx not found after installing it"
}

nginx_port_busy() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# nginx_start TEMPLATE PAGE [SED_EXPRESSION...]: serves PAGE from the html folder of a new
# temporary prefix with the configuration TEMPLATE, in which @PREFIX@ and @PORT@ are filled in
# (and whatever the given sed expressions replace). The port is a free one below the ephemeral
# range (usually from 32768), so that no client socket takes it. Sets nginx_pid, nginx_port and
# nginx_prefix; exits with 2 when nginx does not start.
nginx_start() {
    local template=$1 page=$2
    shift 2
    nginx_prefix=$(mktemp -d /tmp/torvex-bench.XXXXXX)
    chmod 755 "$nginx_prefix" # the workers run as nobody when started by root
    mkdir -p "$nginx_prefix/html"
    cp "$page" "$nginx_prefix/html/"
    local candidate
    for _ in $(seq 20); do
        candidate=$((20000 + RANDOM % 10000))
        nginx_port_busy "$candidate" && continue
        if nginx_start_on "$candidate" "$template" "$@"; then
            nginx_port=$candidate
            return 0
        fi
    done
    die "nginx did not start: $(cat "$nginx_prefix/error.log" 2>/dev/null)"
}

nginx_start_on() {
    local port=$1 template=$2
    shift 2
    local substitutions=(-e "s|@PREFIX@|$nginx_prefix|g" -e "s|@PORT@|$port|g")
    for expression in "$@"; do substitutions+=(-e "$expression"); done
    sed "${substitutions[@]}" "$template" >"$nginx_prefix/nginx.conf"
    "$nginx_bin" -p "$nginx_prefix" -c "$nginx_prefix/nginx.conf" -e "$nginx_prefix/error.log" &
    nginx_pid=$!
    for _ in $(seq 50); do
        kill -0 "$nginx_pid" 2>/dev/null || break
        nginx_port_busy "$port" && return 0
        sleep 0.1
    done
    kill -TERM "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=""
    # Only a port taken meanwhile is worth another try.
    if grep -q "\[emerg\]" "$nginx_prefix/error.log" 2>/dev/null &&
        ! grep -q "Address already in use" "$nginx_prefix/error.log"; then
        die "nginx did not start: $(cat "$nginx_prefix/error.log")"
    fi
    return 1
}

nginx_version() {
    "$nginx_bin" -v 2>&1 | sed 's/^nginx version: //'
}

# "accepts requests" of the status page at /nginx-status; nothing when it cannot be read. Each
# call is one more connection and request for nginx.
nginx_totals() {
    local reply
    reply=$(exec 3<>"/dev/tcp/127.0.0.1/$nginx_port" &&
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

# Stops nginx (TERM, then KILL after 5 s) and removes its prefix; for the EXIT trap.
nginx_stop() {
    if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -TERM "$nginx_pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$nginx_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$nginx_pid" 2>/dev/null || true
    fi
    [ -n "$bench_policy" ] && rm -f "$bench_policy"
    [ -n "$nginx_prefix" ] && rm -rf "$nginx_prefix"
    return 0
}
