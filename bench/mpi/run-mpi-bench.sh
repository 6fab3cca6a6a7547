#!/usr/bin/env bash
# Distributed run benchmark: the same test script with the same total of virtual users, run once
# by one torvex-run and once as an MPI job of 2 processes on this machine, against a foreground
# nginx on a free loopback port. Prints the request rates of both and what gathering and merging
# the processes' results cost.
#
#   bench/mpi/run-mpi-bench.sh [USERS [ITERATIONS [PROCESSES]]]     (default 200 500 2)
#
# Environment: TORVEX_BENCH_BUILD, the build directory (default ./build-bench, configured as
# Release when it has no CMakeCache.txt). Needs the packages of scripts/install-deps.sh; installs
# nginx with apt-get when it is missing (as root).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${TORVEX_BENCH_BUILD:-$PWD/build-bench}
users=${1:-200}
iterations=${2:-500}
processes=${3:-2}

say() { echo "mpi-bench: $*"; }
die() {
    echo "mpi-bench: $*" >&2
    exit 2
}

# shellcheck source-path=SCRIPTDIR source=../lib/nginx.sh
. "$here/../lib/nginx.sh"
nginx_require
command -v mpirun >/dev/null || die "mpirun missing: run scripts/install-deps.sh"

if [ ! -f "$build/CMakeCache.txt" ]; then
    timeout 600 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null ||
        die "configuring $build failed (missing packages? see scripts/install-deps.sh)"
fi
timeout 1800 cmake --build "$build" --target torvex-run -j"$(nproc)" >/dev/null ||
    die "building torvex-run failed"
runner="$build/cli/torvex-run"

trap nginx_stop EXIT
trap 'exit 130' INT TERM
nginx_start "$here/../load/nginx.conf.in" "$here/../load/index.html" "s|@NOFILE@|65536|g" \
    "s|@CONNECTIONS@|65536|g" "s|@WORKERS@|1|g"
say "nginx $(nginx_version) on 127.0.0.1:$nginx_port"

work=$(mktemp -d)
trap 'nginx_stop; rm -rf "$work"' EXIT
script="$work/bench.tvt"
printf '[general]\nserver=127.0.0.1\nport=%s\nclients=%s\nrequests=%s\nkeepalive=1\n[page]\n$uri=/\n' \
    "$nginx_port" "$users" "$iterations" >"$script"

rate() { sed -n 's/^Total average requests per second:[[:space:]]*//p' "$1"; }

say "$users users x $iterations iterations, one process"
start=$(date +%s%N)
"$runner" "$script" >"$work/one.txt" 2>"$work/one.err" || true
one_ms=$((($(date +%s%N) - start) / 1000000))

say "$users users x $iterations iterations, $processes MPI processes"
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
start=$(date +%s%N)
mpirun --oversubscribe -n "$processes" "$runner" --mpi "$script" >"$work/mpi.txt" 2>"$work/mpi.err" || true
mpi_ms=$((($(date +%s%N) - start) / 1000000))

echo
printf '%-22s %14s %12s\n' "" "requests/s" "wall ms"
printf '%-22s %14s %12s\n' "1 process" "$(rate "$work/one.txt")" "$one_ms"
printf '%-22s %14s %12s\n' "$processes MPI processes" "$(rate "$work/mpi.txt")" "$mpi_ms"
grep -h "Gathered and merged" "$work/mpi.err" || die "the MPI run did not merge: $(tail -5 "$work/mpi.err")"
