#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang and libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs them one after the other for SECONDS each (default 60) on their corpus with their dictionary.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Inputs that find new paths collect in build-fuzz/corpus/<target>/ and are used again by the next run;
# the stored seeds (fuzz/corpus/<target>/) and regression inputs (fuzz/regressions/<target>/) are read,
# never written. A crash, a leak, a time-out or running out of memory fails the run: the input is kept in
# build-fuzz/artifacts/<target>/ with a minimised copy beside it. Every run is recorded in
# build-fuzz/history.tsv, and the table at the end shows each target's executions in this run and over
# all runs recorded there.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: bash scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
fi
shift || true

# clang 14 and its runtime libraries (libclang_rt.fuzzer*.a) on Debian 12.
lumeq_install_missing $LUMEQ_BUILD_PACKAGES clang libclang-rt-14-dev

build="build-fuzz"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DLUMEQ_FUZZ=ON -DLUMEQ_BUILD_TESTS=OFF -DLUMEQ_BUILD_BENCH=OFF \
    "${launcher[@]}" >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
rm -f "$build.configure.log"
cmake --build "$build" --target fuzz_all -j "${LUMEQ_JOBS:-2}"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dict in fuzz/*.dict; do
        targets+=("$(basename "$dict" .dict)")
    done
fi

# Inputs up to 4 KiB: every path of every parser is reached within that (a firmware container of more
# than 96 lines takes 97 line ends); longer inputs only slow the fuzzers down. The full-size containers
# of the seed corpus are replayed whole by the tests.
max_len=${LUMEQ_FUZZ_MAX_LEN:-4096}

# Two frames of an allocation's stack are kept instead of thirty: recording them was half of the time of
# the targets that allocate a string per line. Detection is unchanged; a kept input is replayed with full
# stacks by its fuzz_<target> test (fuzz/regressions/) or by running the program on it.
# Freed memory is held back while 16 MB more are freed instead of 256 MB: still far more than the longest
# input frees (the longest stick conversations of the corpus free less than 1 MB), so a use after free
# within an input is caught as before, and the fuzzers no longer cycle through a quarter of a gigabyte of
# cold memory (the stick engine replays its corpus in about a third less processor time).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:malloc_context_size=2:quarantine_size_mb=16"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/logs"
history="$build/history.tsv"
[ -f "$history" ] || printf 'date\ttarget\texecutions\tseconds\tresult\n' >"$history"

failed=()
rows=()
for target in "${targets[@]}"; do
    program="$build/fuzz/fuzz_$target"
    if [ ! -x "$program" ]; then
        echo "no fuzz target $target" >&2
        exit 2
    fi
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    # A log of its own per run, so that two runs of one target can share the corpus (one on each core).
    log="$build/logs/$target-$(date -u +%Y%m%dT%H%M%SZ)-$$.log"
    mkdir -p "$corpus" "$artifacts"
    inputs=("$corpus" "fuzz/corpus/$target")
    [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
    # fuzz/<target>.options may set a shorter max_len for a parser whose inputs are short by nature.
    target_max_len=""
    [ -f "fuzz/$target.options" ] &&
        target_max_len=$(sed -n 's/^max_len *= *\([0-9]*\) *$/\1/p' "fuzz/$target.options" | tail -1)
    echo "== $target: $seconds s"
    result=ok
    start=$(date +%s)
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
        -max_len="${target_max_len:-$max_len}" -dict="fuzz/$target.dict" -artifact_prefix="$artifacts/" \
        -print_final_stats=1 "${inputs[@]}" >"$log" 2>&1 || result=failed
    elapsed=$(($(date +%s) - start))
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    executions=${executions:-0}
    if [ "$result" != ok ]; then
        grep -m1 -E "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|fuzz check failed|SUMMARY" "$log" || true
        crash=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
        if [ -n "$crash" ] && [ -f "$crash" ]; then
            echo "   input: $crash"
            "$program" -minimize_crash=1 -max_total_time=30 -exact_artifact_path="$crash.min" "$crash" \
                >"$log.minimize" 2>&1 || true
            [ -f "$crash.min" ] && echo "   minimised: $crash.min ($(stat -c %s "$crash.min") bytes)"
        fi
        echo "   log: $log"
        failed+=("$target")
    fi
    printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$target" "$executions" "$elapsed" "$result" >>"$history"
    total=$(awk -F'\t' -v t="$target" '$2 == t { sum += $3 } END { printf "%d", sum }' "$history")
    rate=$((executions / (elapsed > 0 ? elapsed : 1)))
    rows+=("$(printf '%-18s %12s %9s %6s %14s  %s' "$target" "$executions" "$rate" "$elapsed" "$total" "$result")")
done

echo
printf '%-18s %12s %9s %6s %14s  %s\n' target executions exec/s s "all runs" result
printf '%s\n' "${rows[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]} (see $build/logs/ and $build/artifacts/)"
    exit 1
fi
