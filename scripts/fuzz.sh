#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz/ and
# runs each one for TOVRA_FUZZ_SECONDS seconds (default 60), starting from a
# scratch copy of its seed corpus, so that the repository stays as it is.
# TOVRA_FUZZ_SEED (default 1) makes a run repeatable, so that a gate fails
# the same way on every machine; 0 draws a new seed for exploring.
#   scripts/fuzz.sh                 every target
#   scripts/fuzz.sh fuzz_conf ...   the targets named
# Exit status: 0 when every target ran clean; 1 after a crash, leak, timeout
# or failed build. The input that failed is kept under build-fuzz/artifacts/.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${TOVRA_JOBS:-2}
seconds=${TOVRA_FUZZ_SECONDS:-60}
seed=${TOVRA_FUZZ_SEED:-1}
build="$root/build-fuzz"
targets=(fuzz_hostcmd_receive fuzz_settings fuzz_conf fuzz_render)
if (($# > 0)); then
    case "$1" in
        -h | --help)
            sed -n '2,10s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
    esac
    targets=("$@")
fi

bash "$root/scripts/setup.sh" || exit 1

# A C++-only project: the C compiler is named only so that nothing falls back to gcc.
cmake -S "$root" -B "$build" -G Ninja --no-warn-unused-cli \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOVRA_BUILD_FUZZ=ON -DTOVRA_BUILD_TESTS=OFF -DTOVRA_WERROR=ON >/dev/null || {
    echo "fuzz: configuring build-fuzz failed" >&2
    exit 1
}
ninja -C "$build" -j "$jobs" "${targets[@]}" || {
    echo "fuzz: building the targets failed" >&2
    exit 1
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovra-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
artifacts="$build/artifacts"
mkdir -p "$artifacts"

# fontconfig's one-off allocations under the widget target are suppressed by
# library name; the fast unwinder's stacks show it and cost a fraction of
# full ones, which would cut the executions several times over.
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

failed=()
for target in "${targets[@]}"; do
    corpus="$scratch/corpus/$target"
    work="$scratch/run/$target"
    mkdir -p "$corpus" "$work"
    if [[ -d "$root/tests/fuzz/corpus/$target" ]]; then
        cp "$root/tests/fuzz/corpus/$target"/* "$corpus"/
    fi
    log="$scratch/$target.log"
    # The program keeps its files in the working directory: a scratch one.
    (cd "$work" && "$build/tests/fuzz/$target" "$corpus" \
        -seed="$seed" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-") >"$log" 2>&1
    status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    used=$(sed -n 's/^INFO: Seed: *//p' "$log" | head -n 1)
    if ((status == 0)); then
        echo "fuzz: $target clean, ${executions:-?} executions in ${seconds} s (seed ${used:-?})"
    else
        failed+=("$target")
        echo "fuzz: $target FAILED (exit $status) after ${executions:-?} executions (seed ${used:-?}); its log ends:" >&2
        tail -n 60 "$log" >&2
        grep -h 'Test unit written to' "$log" | sed 's/^/fuzz: /' >&2
    fi
done

if ((${#failed[@]} > 0)); then
    echo "fuzz: failed: ${failed[*]}; failing inputs are in $artifacts" >&2
    exit 1
fi
