#!/usr/bin/env bash
# Runs fuzz targets of the sanitized tree (fuzz_inf, fuzz_reg_file, fuzz_scenario, fuzz_machine; the
# part after fuzz_ alone names one too), or merges what their runs found into the seed corpora.
#
# usage: run.sh [--jobs N] BUILD_FUZZ_FOLDER SECONDS [TARGET...]   (no target: every target)
#        run.sh --test BUILD_FUZZ_FOLDER SECONDS [TARGET...]
#        run.sh --merge BUILD_FUZZ_FOLDER [TARGET...]
#
# A run (what `make fuzz` does) gives each target SECONDS on N processes at once (libFuzzer's fork
# mode; N is --jobs, else FUZZ_JOBS, else the number of cores), with a random seed (printed), over
# its seed corpus (fuzz/corpus/<target>/), its dictionary when it has one, and what earlier runs
# found (<build>/corpus/<target>/, where this run adds what it finds). A crash, a sanitizer report,
# a broken promise of the target, a hang (20 s), a leak or a run past the memory limit is kept in
# <build>/artifacts/<target>/ and the run goes on, so that one run reports everything it finds. It
# prints per target the inputs run, the coverage reached and the outcome, with each input kept this
# time; the exit status is 1 when anything was found.
#
# --test: a short run for the test suite in one process, over the seed corpus only (what it finds is
# dropped afterwards), so that its length does not grow with what longer runs found, and with a
# fixed random seed, so that every test run tries the same inputs in the same order: a slower
# machine only gets through fewer of them, and a new finding comes from `make fuzz`, never by chance
# in CI. It stops at the first finding.
#
# --merge (what `make fuzz-merge` does): adds to each seed corpus, minimised, the inputs of
# <build>/corpus/<target>/ that reach what the seeds do not (libFuzzer's -merge=1; the seeds there
# stay as they are), and says how many inputs each corpus gained.
set -u
here=$(cd "$(dirname "$0")" && pwd)
mode=run
jobs=${FUZZ_JOBS:-}
while [ $# -gt 0 ]; do
    case "$1" in
        --test) mode=test; shift ;;
        --merge) mode=merge; shift ;;
        --jobs) jobs=$2; shift 2 ;;
        --jobs=*) jobs=${1#--jobs=}; shift ;;
        *) break ;;
    esac
done
if [ $# -lt 1 ] || { [ $mode != merge ] && [ $# -lt 2 ]; }; then
    sed -n 's/^# usage: /usage: /p; s/^#        run/       run/p' "$0" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
shift
seconds=
if [ $mode != merge ]; then
    seconds=$1
    shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_inf fuzz_reg_file fuzz_scenario fuzz_machine)
[ -n "$jobs" ] || jobs=$(nproc)
case "$jobs" in
    '' | *[!0-9]* | 0) echo "--jobs wants a number of processes, not '$jobs'" >&2; exit 2 ;;
esac

# The targets on the simulated machine make their machines' drives in the temporary folder, and
# the fork mode its jobs' files: a private folder, in memory where the host has one (/dev/shm),
# else in the build, removed when the script ends, so that nothing a crashed input left stays.
below="$build/tmp"
[ -d /dev/shm ] && [ -w /dev/shm ] && below=/dev/shm
mkdir -p "$below"
scratch=$(mktemp -d "$below/tvx-fuzz-XXXXXX") || exit 2
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM
export TMPDIR="$scratch"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
limits=(-timeout=20 -rss_limit_mb=2048)

executable() {
    local exe="$build/$1"
    [ -x "$exe" ] || { echo "no fuzz target $exe (make sanitize)" >&2; exit 2; }
    echo "$exe"
}

if [ $mode = merge ]; then
    status=0
    printf '%-14s %7s %7s %7s  %s\n' target before found after outcome
    for t in "${targets[@]}"; do
        t="fuzz_${t#fuzz_}"
        exe=$(executable "$t") || exit 2
        seeds="$here/corpus/$t"
        found="$build/corpus/$t"
        log="$build/$t.merge.log"
        mkdir -p "$seeds" "$found"
        before=$(find "$seeds" -maxdepth 1 -type f | wc -l)
        offered=$(find "$found" -maxdepth 1 -type f | wc -l)
        "$exe" -merge=1 "${limits[@]}" "$seeds" "$found" >"$log" 2>&1
        rc=$?
        after=$(find "$seeds" -maxdepth 1 -type f | wc -l)
        if [ $rc -eq 0 ]; then
            outcome="gained $((after - before))"
        else
            status=1
            outcome="FAILED (exit $rc), see $log"
        fi
        printf '%-14s %7s %7s %7s  %s\n' "$t" "$before" "$offered" "$after" "$outcome"
    done
    exit $status
fi

status=0
rows=()
for t in "${targets[@]}"; do
    t="fuzz_${t#fuzz_}"
    exe=$(executable "$t") || exit 2
    found="$build/corpus/$t"
    if [ $mode = test ]; then
        found="$build/test-corpus/$t"
        rm -rf "$found"
    fi
    artifacts="$build/artifacts/$t/"
    log="$build/$t.log"
    [ $mode = test ] && log="$build/$t.test.log"
    mkdir -p "$found" "$artifacts"
    args=(-max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 -artifact_prefix="$artifacts")
    [ -f "$here/dict/$t.dict" ] && args+=(-dict="$here/dict/$t.dict")
    forked=false
    if [ $mode = test ]; then
        args+=(-seed=1)
    else
        # A seed of its own for every run (printed: a one-process run can be repeated with it).
        args+=(-seed="$(( $(od -An -N4 -tu4 /dev/urandom) % 2147483647 + 1 ))")
        if [ "$jobs" -gt 1 ]; then
            forked=true
            args+=(-fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
        fi
    fi
    # What this run keeps is told from what earlier runs kept by the moment it began.
    since="$build/$t.started"
    : >"$since"
    "$exe" "${args[@]}" "$found" "$here/corpus/$t" >"$log" 2>&1
    rc=$?
    # A crash (a sanitizer report or a broken promise of the target among them), a leak, a hang or
    # a run past the memory limit is a finding; an input that was slow (libFuzzer's slow-unit-) is
    # only listed.
    mapfile -t kept < <(find "$artifacts" -maxdepth 1 -type f -newer "$since" \
                        \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
    mapfile -t slow < <(find "$artifacts" -maxdepth 1 -type f -newer "$since" -name 'slow-unit-*' | sort)
    seed=$(sed -n 's/^INFO: Seed: *//p' "$log" | head -1)
    if $forked; then
        # The fork mode's own lines: "#RUNS: cov: C ft: F corp: N exec/s[:] S oom/timeout/crash:
        # O/T/C time: Ss job: J ...", RUNS and S(econds) over every process; runs/s is of them all.
        last=$(grep -E '^#[0-9]+: cov:' "$log" | tail -1)
        runs=$(sed -n 's/^#\([0-9]*\):.*/\1/p' <<<"$last")
        took=$(sed -n 's/.* time: \([0-9]*\)s.*/\1/p' <<<"$last")
        speed=
        [ -n "$runs" ] && [ -n "$took" ] && [ "$took" -gt 0 ] && speed=$((runs / took))
    else
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
        last=$(grep -E '^#[0-9]+' "$log" | tail -1)
    fi
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    if [ $rc -eq 0 ] && [ ${#kept[@]} -eq 0 ]; then
        outcome="nothing found"
    else
        status=1
        outcome="FOUND ${#kept[@]} (exit $rc), see $log"
        echo "---- $t: the end of its log ($log)" >&2
        tail -n 60 "$log" >&2
    fi
    rows+=("$(printf '%-14s %10s %8s %7s %7s %7s  %s' "$t" "${runs:--}" "${speed:--}" "${cov:--}" "${ft:--}" \
        "${corp:--}" "$outcome")")
    for file in "${kept[@]}"; do rows+=("               $file"); done
    for file in "${slow[@]}"; do rows+=("               slow, not a finding: $file"); done
    rm -f "$since"
    if [ $mode = run ] && [ -n "$seed" ]; then
        if $forked; then rows+=("               seed $seed, $jobs processes"); else rows+=("               seed $seed"); fi
    fi
done

printf '%-14s %10s %8s %7s %7s %7s  %s\n' target runs "runs/s" cov ft corpus outcome
printf '%s\n' "${rows[@]}"
exit $status
