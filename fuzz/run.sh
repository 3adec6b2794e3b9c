#!/usr/bin/env bash
# Runs fuzz targets of the sanitized tree (fuzz_inf, fuzz_reg_file, fuzz_scenario, fuzz_machine; the
# part after fuzz_ alone names one too), each for some seconds over its seed corpus
# (fuzz/corpus/<target>/) and the inputs it found in earlier runs (<build>/corpus/<target>/), with
# its dictionary when it has one, and prints per target the inputs run, the coverage reached and
# whether it found anything. A crash, a sanitizer report, a broken promise of the target, a hang
# or a leak fails the run; the input is kept in <build>/artifacts/<target>/.
# usage: run.sh [--test] BUILD_FUZZ_FOLDER SECONDS [TARGET...]   (no target: every target)
# --test: a short run for the test suite, over the seed corpus only (what it finds is dropped
# afterwards), so that its length does not grow with what longer runs found, and with a fixed
# random seed, so that every test run tries the same inputs in the same order: a slower machine
# only gets through fewer of them, and a new finding comes from `make fuzz`, never by chance in CI.
set -u
here=$(cd "$(dirname "$0")" && pwd)
test_run=false
if [ "${1:-}" = "--test" ]; then
    test_run=true
    shift
fi
build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_inf fuzz_reg_file fuzz_scenario fuzz_machine)

# The machine target makes its simulated drives in the temporary folder: keep them in the build.
mkdir -p "$build/tmp"
export TMPDIR="$build/tmp"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
rows=()
for t in "${targets[@]}"; do
    t="fuzz_${t#fuzz_}"
    exe="$build/$t"
    [ -x "$exe" ] || { echo "no fuzz target $exe (make sanitize)" >&2; exit 2; }
    found="$build/corpus/$t"
    if $test_run; then
        found="$build/test-corpus/$t"
        rm -rf "$found"
    fi
    artifacts="$build/artifacts/$t/"
    log="$build/$t.log"
    $test_run && log="$build/$t.test.log"
    mkdir -p "$found" "$artifacts"
    args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$artifacts")
    [ -f "$here/dict/$t.dict" ] && args+=(-dict="$here/dict/$t.dict")
    $test_run && args+=(-seed=1)
    "$exe" "${args[@]}" "$found" "$here/corpus/$t" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    if [ $rc -eq 0 ]; then
        outcome="nothing found"
    else
        status=1
        outcome="FOUND (exit $rc), see $log"
        echo "---- $t: the end of its log ($log)" >&2
        tail -n 60 "$log" >&2
    fi
    rows+=("$(printf '%-14s %10s %8s %7s %7s %7s  %s' "$t" "${runs:--}" "${speed:--}" "${cov:--}" "${ft:--}" \
        "${corp:--}" "$outcome")")
done

printf '%-14s %10s %8s %7s %7s %7s  %s\n' target runs "runs/s" cov ft corpus outcome
printf '%s\n' "${rows[@]}"
exit $status
