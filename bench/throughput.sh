#!/usr/bin/env bash
# Throughput benchmark: Torvex against wrk, ab and hey, each sending one static page of 1 KiB
# from a local nginx as fast as it can.
#
#   bench/throughput.sh [SECONDS]        (default 10, at least 3)
#
# Starts a foreground nginx on a free loopback port, then runs one after the other, each for
# SECONDS with 64 keep-alive connections and no think time: torvex-run with the sequence-driven
# script bench/throughput/throughput.tvt, torvex-run with the same load driven by the JavaScript
# loop bench/throughput/loop.js, wrk, ab and hey. It prints one line per load generator
# (requests per second, mean latency, CPU seconds per 100,000 requests, peak memory and the
# ratios to wrk). Environment:
#   TORVEX_RUN           the torvex-run to measure; otherwise it is built in TORVEX_BENCH_BUILD
#   TORVEX_BENCH_BUILD   build directory (default ./build-bench); configured as Release when it
#                        has no CMakeCache.txt
#   NGINX_WORKERS        nginx worker processes (default 1)
#   QUIET_WAIT           before each run, wait up to this many seconds (default 60; 0: never)
#                        for the machine to be less than 25% busy
# As root it installs what is missing with apt-get: nginx, wrk, time (GNU time), apache2-utils
# (ab) and hey; without ab or hey their runs are left out. Exits with 0 after printing the
# results, with 2 when something it needs cannot start.
set -euo pipefail
export LC_ALL=C # decimal points in $EPOCHREALTIME, awk and the tools' output

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
data="$here/throughput"
build=${TORVEX_BENCH_BUILD:-$PWD/build-bench}
quiet_wait=${QUIET_WAIT:-60}
workers=${NGINX_WORKERS:-1}
seconds=${1:-10}
connections=64

say() { echo "throughput: $*" >&2; }
die() {
    echo "throughput: $*" >&2
    exit 2
}

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 3 ]; then
    die "usage: $0 [SECONDS] (at least 3)"
fi
[[ "$quiet_wait" =~ ^[0-9]+$ ]] || die "QUIET_WAIT must be a number of seconds"
[[ "$workers" =~ ^[1-9][0-9]*$ ]] || die "NGINX_WORKERS must be a positive number"

# shellcheck source-path=SCRIPTDIR source=lib/nginx.sh
. "$here/lib/nginx.sh"

tmp=""
tool_pid=""
# shellcheck disable=SC2317 # called by the EXIT trap
cleanup() {
    # timeout passes the signal on to the measured tool's process group.
    [ -n "$tool_pid" ] && { kill -TERM "$tool_pid" 2>/dev/null || true; }
    nginx_stop
    [ -n "$tmp" ] && rm -rf "$tmp"
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- tools --------------------------------------------------------------------------------------

nginx_require
[ -x /usr/bin/time ] || bench_apt_install time
command -v wrk >/dev/null || bench_apt_install wrk
command -v wrk >/dev/null || die "wrk not found after installing it"
for optional in ab:apache2-utils hey:hey; do
    command -v "${optional%%:*}" >/dev/null && continue
    if [ "$(id -u)" -eq 0 ]; then
        bench_apt_install "${optional#*:}" || say "could not install ${optional#*:}"
    fi
    command -v "${optional%%:*}" >/dev/null ||
        say "${optional%%:*} (package ${optional#*:}) is missing: its run is left out"
done

if [ -n "${TORVEX_RUN:-}" ]; then
    torvex_run=$TORVEX_RUN
else
    if [ ! -f "$build/CMakeCache.txt" ]; then
        timeout 600 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null ||
            die "configuring $build failed (missing packages? see scripts/install-deps.sh)"
    fi
    timeout 1800 cmake --build "$build" --target torvex-run -j"$(nproc)" >/dev/null ||
        die "building torvex-run failed"
    torvex_run="$build/cli/torvex-run"
fi
[ -x "$torvex_run" ] || die "$torvex_run is not a program"
"$torvex_run" --help 2>&1 | grep -q "Running a test script" ||
    die "$torvex_run cannot run test scripts (no run mode in its --help)"

tmp=$(mktemp -d /tmp/torvex-throughput.XXXXXX)
nginx_start "$data/nginx.conf.in" "$data/page.html" "s|@WORKERS@|$workers|g"
url="http://127.0.0.1:$nginx_port/page.html"
cores=$(nproc)
ticks=$(getconf CLK_TCK)
say "nginx $(nginx_version) on 127.0.0.1:$nginx_port, $workers worker(s), pid $nginx_pid;" \
    "$cores CPUs shared by nginx and the load generator"

# --- measuring ----------------------------------------------------------------------------------

# Prints the value of an awk expression with the given number of decimals.
calc() {
    awk "BEGIN { printf \"%.${2:-2}f\", $1 }"
}

# Busy jiffies of the whole machine (user, nice, system, irq, softirq), and the jiffies the
# hypervisor gave to other machines (steal).
machine_busy() {
    awk '/^cpu / { print $2 + $3 + $4 + $7 + $8, $9; exit }' /proc/stat
}

# Other programs (builds, say) would take processor time from the run being measured.
wait_for_quiet() {
    [ "$quiet_wait" -gt 0 ] || return 0
    local waited=0 before after share
    while :; do
        read -r before _ <<<"$(machine_busy)"
        sleep 2
        read -r after _ <<<"$(machine_busy)"
        share=$((((after - before) * 100) / (2 * ticks * cores)))
        [ "$share" -lt 25 ] && return 0
        waited=$((waited + 2))
        if [ "$waited" -ge "$quiet_wait" ]; then
            say "warning: the machine is still ${share}% busy after ${waited} s; measuring anyway"
            return 0
        fi
        [ "$waited" -eq 2 ] && say "waiting for the machine to be less than 25% busy (${share}%)"
    done
}

# Sleeps until the given time ($EPOCHREALTIME seconds). In the background, so that a signal
# stops the script at once rather than after the sleep.
sleep_until() {
    sleep "$(awk -v t="$1" -v now="$EPOCHREALTIME" 'BEGIN { d = t - now; printf "%.3f", (d > 0 ? d : 0) }')" &
    wait $!
}

# "TIME REQUESTS": nginx's request total and when it was read (the middle of the query).
sample() {
    local before=$EPOCHREALTIME totals
    totals=$(nginx_totals)
    echo "$(calc "($before + $EPOCHREALTIME) / 2" 6) ${totals#* }"
}

# Per load generator: requests per second, requests and errors it counted, mean latency (ms),
# CPU seconds, peak resident memory (MiB), nginx's and other programs' share of the machine and
# the share the hypervisor took away.
declare -A rate counted errors latency cpu rss nginx_share others steal
order=()

# run NAME PARSER COMMAND...: runs COMMAND under GNU time and, for the rate, reads nginx's request
# total one second after the start and one second before the end. PARSER reads the tool's output
# and prints "REQUESTS ERRORS MEAN_LATENCY_MS".
run() {
    local name=$1 parser=$2
    shift 2
    wait_for_quiet
    say "$name: $*"
    local nginx_before busy_before steal_before start first second status=0 parsed
    read -r nginx_before _ <<<"$(nginx_workers)"
    read -r busy_before steal_before <<<"$(machine_busy)"
    start=$EPOCHREALTIME
    timeout -k 5 $((seconds + 60)) /usr/bin/time -f '%e %U %S %M' -o "$tmp/$name.time" \
        "$@" >"$tmp/$name.out" 2>"$tmp/$name.err" &
    tool_pid=$!
    sleep_until "$(calc "$start + 1" 6)"
    first=$(sample)
    sleep_until "$(calc "$start + $seconds - 1" 6)"
    second=$(sample)
    wait "$tool_pid" || status=$?
    tool_pid=""
    local wall busy stolen nginx_after user system max_kib requests failed mean t1 r1 t2 r2
    wall=$(calc "$EPOCHREALTIME - $start" 3)
    read -r busy stolen <<<"$(machine_busy)"
    busy=$((busy - busy_before))
    stolen=$((stolen - steal_before))
    read -r nginx_after _ <<<"$(nginx_workers)"
    if [ "$status" -ne 0 ] && ! { [[ "$name" == torvex* ]] && [ "$status" -eq 1 ]; }; then
        # torvex-run's status 1 means failed requests, which the report counts.
        say "$name failed (exit $status); its run is left out:"
        tail -n 5 "$tmp/$name.err" >&2
        return 0
    fi
    parsed=$("$parser" <"$tmp/$name.out")
    if [ -z "$parsed" ]; then
        say "$name: its output could not be read; its run is left out:"
        tail -n 5 "$tmp/$name.out" >&2
        return 0
    fi
    read -r requests failed mean <<<"$parsed"
    if [ "$requests" -eq 0 ]; then
        say "$name completed no request; its run is left out"
        return 0
    fi
    counted[$name]=$requests
    errors[$name]=$failed
    latency[$name]=$mean
    # Elapsed time (GNU time's first field) includes start-up; the rate uses nginx's samples.
    read -r _ user system max_kib <<<"$(tail -n 1 "$tmp/$name.time")"
    read -r t1 r1 <<<"$first"
    read -r t2 r2 <<<"$second"
    # The second sample's own request is in its total.
    rate[$name]=$(calc "($r2 - $r1 - 1) / ($t2 - $t1)" 0)
    cpu[$name]=$(calc "$user + $system" 2)
    rss[$name]=$(calc "$max_kib / 1024" 1)
    nginx_share[$name]=$(calc "100 * ($nginx_after - $nginx_before) / ($wall * $cores)" 0)
    others[$name]=$(calc "100 * ($busy / $ticks - ($user + $system) - ($nginx_after - $nginx_before)) / ($wall * $cores)" 0)
    steal[$name]=$(calc "100 * $stolen / ($ticks * $wall * $cores)" 0)
    order+=("$name")
}

# torvex-run's report: the responses of every HTTP status (completed requests), the errors and
# the mean time of the successful requests, from "Avg request processing time" or, for a
# scripted run, from the time of every request in the per-user lists.
# shellcheck disable=SC2317 # called through run
parse_torvex() {
    awk -F'\t' '
        $0 == "Code\tCount" { codes = 1; next }
        codes && /^[0-9]+\t[0-9]+$/ { responses += $2; next }
        codes { codes = 0 }
        $1 == "Avg request processing time:" { average = $2 }
        $1 == "page" && $2 ~ /^[0-9.]+$/ { sum += $2; n++ }
        /^Total [0-9]+ error/ { split($0, words, " "); failed = words[2] }
        END {
            if (n) average = sum / n
            if (responses || failed) printf "%d %d %s\n", responses, failed, average == "" ? "?" : average
        }'
}

# wrk: "N requests in ...", the errors it lists and the mean latency in its unit.
# shellcheck disable=SC2317 # called through run
parse_wrk() {
    awk '
        $1 == "Latency" {
            v = $2 + 0
            if ($2 ~ /us$/) v /= 1000; else if ($2 ~ /ms$/) v += 0; else if ($2 ~ /s$/) v *= 1000
            average = v
        }
        / requests in / { requests = $1 }
        /^ *Socket errors:/ { gsub(/[^0-9 ]/, " "); for (i = 1; i <= NF; i++) failed += $i }
        /^ *Non-2xx or 3xx responses:/ { failed += $NF }
        END { if (requests) printf "%d %d %s\n", requests, failed, average }'
}

# ab: complete and failed requests, non-2xx responses, and "Time per request" (mean), which ab
# derives as concurrency x time taken / complete requests.
# shellcheck disable=SC2317 # called through run
parse_ab() {
    awk -F': *' '
        $1 == "Complete requests" { requests = $2 + 0 }
        $1 == "Failed requests" { failed += $2 }
        $1 == "Non-2xx responses" { failed += $2 }
        $1 == "Time per request" && average == "" { average = $2 + 0 }
        END { if (requests) printf "%d %d %s\n", requests, failed, average }'
}

# hey: the responses per status, the errors it lists, and the average in seconds.
# shellcheck disable=SC2317 # called through run
parse_hey() {
    awk '
        $1 == "Average:" && average == "" { average = $2 * 1000 }
        /^Status code distribution:/ { section = "status"; next }
        /^Error distribution:/ { section = "error"; next }
        section == "status" && /^ *\[[0-9]+\]/ { requests += $2 }
        section == "error" && /^ *\[[0-9]+\]/ { gsub(/[^0-9]/, "", $1); failed += $1 }
        END { if (requests) printf "%d %d %s\n", requests, failed, average }'
}

# --- the runs -----------------------------------------------------------------------------------

# The engine stops at the first whole second past maxtime: SECONDS - 1 gives a run of SECONDS.
torvex_arguments=("$data/throughput.tvt" "-port=$nginx_port" "-maxtime=$((seconds - 1))")
run torvex parse_torvex "$torvex_run" "${torvex_arguments[@]}"
run torvex-js parse_torvex "$torvex_run" --set "script=$data/loop.js" "${torvex_arguments[@]}"
run wrk parse_wrk wrk -c "$connections" -t 2 -d "${seconds}s" "$url"
# -t alone would end ab after 50,000 requests; -n (after it) raises that beyond any run here.
command -v ab >/dev/null &&
    run ab parse_ab ab -k -c "$connections" -t "$seconds" -n $((seconds * 200000)) "$url"
command -v hey >/dev/null && run hey parse_hey hey -c "$connections" -z "${seconds}s" "$url"

# --- results ------------------------------------------------------------------------------------

echo
echo "Throughput: $connections keep-alive connections, $seconds s per run, 1 KiB page from nginx" \
    "($workers worker(s)) on 127.0.0.1; $cores CPUs shared by nginx and the load generator."
echo "req/s: requests nginx served from 1 s after the start to 1 s before the end, per second."
echo "requests, errors, mean latency: as the load generator counted and measured them."
echo "CPU: the load generator's user + system seconds per 100,000 of its requests."
echo "nginx, others, steal: shares of the machine's time taken by nginx's workers, by other"
echo "programs and by the hypervisor (for other virtual machines) while the tool ran."
echo
printf '%-10s %8s %9s %6s %9s %10s %8s %9s %8s %6s %6s %6s\n' tool req/s requests errors \
    "mean ms" "CPU/100k" "RSS MiB" "req/s:wrk" "CPU:wrk" nginx others steal
for name in "${order[@]}"; do
    per_100k=$(calc "100000 * ${cpu[$name]} / ${counted[$name]}" 2)
    rate_ratio=-
    cpu_ratio=-
    if [ -n "${rate[wrk]:-}" ]; then
        wrk_per_100k=$(calc "100000 * ${cpu[wrk]} / ${counted[wrk]}" 6)
        rate_ratio=$(calc "${rate[$name]} / ${rate[wrk]}" 2)
        cpu_ratio=$(calc "$per_100k / $wrk_per_100k" 2)
    fi
    mean=${latency[$name]}
    [ "$mean" = "?" ] || mean=$(calc "$mean" 3)
    printf '%-10s %8s %9s %6s %9s %10s %8s %9s %8s %5s%% %5s%% %5s%%\n' "$name" "${rate[$name]}" \
        "${counted[$name]}" "${errors[$name]}" "$mean" "$per_100k" "${rss[$name]}" \
        "$rate_ratio" "$cpu_ratio" "${nginx_share[$name]}" "${others[$name]}" "${steal[$name]}"
done
echo

# The targets, reported rather than enforced: this is a measurement, not a test.
verdict() { awk "BEGIN { exit !($1) }" && echo met || echo missed; }
if [ -n "${rate[torvex]:-}" ] && [ -n "${rate[wrk]:-}" ]; then
    ratio=$(calc "${rate[torvex]} / ${rate[wrk]}" 2)
    echo "torvex req/s / wrk: $ratio (target >= 0.9: $(verdict "$ratio >= 0.9"))"
    ratio=$(calc "${cpu[torvex]} * ${counted[wrk]} / (${counted[torvex]} * ${cpu[wrk]})" 2)
    echo "torvex CPU per request / wrk: $ratio (target <= 1.5: $(verdict "$ratio <= 1.5"))"
fi
if [ -n "${rate[torvex]:-}" ] && [ -n "${rate[torvex-js]:-}" ]; then
    ratio=$(calc "${rate[torvex-js]} / ${rate[torvex]}" 2)
    echo "torvex scripted req/s / sequence-driven: $ratio (target >= 0.8: $(verdict "$ratio >= 0.8"))"
fi
exit 0
