#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer and the sanitizers, then runs each on a copy of its
# seed corpus (the repository stays clean) and fails when any of them finds a fault.
# Usage: scripts/fuzz.sh [TARGET...]   targets: parser regex http_response scenario results form_data
# Environment: FUZZ_SECONDS per target (60), FUZZ_JOBS targets at once (1), FUZZ_TIMEOUT seconds
# one input may take (10; more when the machine is busy with other work), FUZZ_BUILD_DIR
# (build-fuzz, relative to the repository root unless absolute).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-1}
timeout=${FUZZ_TIMEOUT:-10}
build=${FUZZ_BUILD_DIR:-build-fuzz}
[[ $build == /* ]] || build=$root/$build
all=(parser regex http_response scenario results form_data)

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
for t in "${targets[@]}"; do
    [[ " ${all[*]} " == *" $t "* ]] || { echo "fuzz: unknown target $t (known: ${all[*]})" >&2; exit 2; }
done

"$root/scripts/install-deps.sh"
launcher=()
command -v ccache >/dev/null &&
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTORVEX_FUZZ=ON -DTORVEX_ENGINE_ONLY=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d "${TMPDIR:-/tmp}/torvex-fuzz.XXXXXX")
echo "fuzz: ${#targets[@]} target(s), ${seconds} s each, ${jobs} at a time; work folder $work"

# Runs one target in its own folder: crash, leak and time-out reproducers land there.
run_target() {
    local t=$1 dir=$work/$1
    mkdir -p "$dir/corpus"
    cp -r "$root/tests/fuzz/corpus/$t/." "$dir/corpus/"
    local dict=()
    [ -f "$root/tests/fuzz/dict/$t.dict" ] && dict=(-dict="$root/tests/fuzz/dict/$t.dict")
    local status=0
    (cd "$dir" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout="$timeout" \
        -artifact_prefix="$dir/" -print_final_stats=1 "${dict[@]}" corpus \
        >"$dir/log" 2>&1) || status=$?
    local found
    found=$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | sort)
    if [ "$status" -ne 0 ] || [ -n "$found" ] || grep -q 'runtime error:\|ERROR: AddressSanitizer' "$dir/log"; then
        echo "fuzz: $t FAILED (exit $status); log $dir/log"
        grep -m 5 'ERROR:\|runtime error:\|SUMMARY' "$dir/log" | sed 's/^/    /'
        for f in $found; do echo "    reproducer: $f"; done
        return 1
    fi
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz: $t ok: $runs inputs in ${seconds} s, corpus $(ls "$dir/corpus" | wc -l) files"
}

failed=0
pids=()
names=()
for t in "${targets[@]}"; do
    run_target "$t" &
    pids+=($!)
    names+=("$t")
    if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done

if [ "$failed" -ne 0 ]; then
    echo "fuzz: faults found; reproducers and logs stay in $work" >&2
    exit 1
fi
rm -rf "$work"
echo "fuzz: no faults found"
