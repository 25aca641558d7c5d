#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench/) and runs them: packets per
# second through HostCmd::sendRecord + HostCmd::receive for a 480-byte record,
# beside the bare AES-128-CBC encrypt + decrypt of its 496-byte body; then the
# font upload throughput against the printer simulator over loopback, beside a
# QTcpSocket and a send() floor, pinned to CPU 0 and unpinned.
# Extra arguments go to the codec benchmark (e.g. --benchmark_repetitions=9);
# TOVRA_UPLOAD_RUNS sets the upload runs (default 5), TOVRA_BENCH_BUILD the
# build directory.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TOVRA_BENCH_BUILD:-"$root/build-bench"}
jobs=${TOVRA_JOBS:-2}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_BENCH=ON -DTOVRA_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" -j "$jobs" tovra-bench-codec tovra-bench-upload

results="$build/bench-codec.csv"
"$build/bench/tovra-bench-codec" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$results" --benchmark_out_format=csv "$@"

# Medians of the repetitions; times are CPU nanoseconds per item.
awk -F, '
    /^name,/ { for (i = 1; i <= NF; ++i) column[$i] = i; next }
    !("cpu_time" in column) { next }
    {
        name = $column["name"]; gsub(/"/, "", name)
        if (name ~ /_median$/) {
            sub(/_median$/, "", name)
            ns[name] = $column["cpu_time"]; rate[name] = $column["items_per_second"]
        }
    }
    END {
        if (!("hostCmdRoundTrip" in ns) || !("aesCbcFloor" in ns) || ns["aesCbcFloor"] <= 0) {
            print "bench: results incomplete, see " FILENAME > "/dev/stderr"; exit 1
        }
        printf "\nMedians of 5 runs (CPU time):\n"
        printf "  HostCmd round trip, 480-byte record : %10.0f packets/s  (%7.0f ns each)\n", rate["hostCmdRoundTrip"], ns["hostCmdRoundTrip"]
        printf "  AES-128-CBC floor, 496-byte body    : %10.0f packets/s  (%7.0f ns each)\n", rate["aesCbcFloor"], ns["aesCbcFloor"]
        printf "  ratio round trip / floor            : %10.2f\n", ns["hostCmdRoundTrip"] / ns["aesCbcFloor"]
    }' "$results"

# Loopback figures are bimodal on two cores, depending on whether the sender
# and the simulator share a CPU: pinned (the simulator inherits the affinity)
# is the steady figure, unpinned is shown beside it.
upload() {
    local name=$1
    shift
    echo
    if ! "$@" "$build/bench/tovra-bench-upload" --runs "${TOVRA_UPLOAD_RUNS:-5}" \
        --report "$build/bench-upload-$name.md" 2>"$build/bench-upload-$name.log"; then
        cat "$build/bench-upload-$name.log" >&2
        exit 1
    fi
}
upload pinned taskset -c 0
upload unpinned
cat "$build/bench-upload-pinned.md" <(echo) "$build/bench-upload-unpinned.md" >"$build/bench-upload.md"
echo
echo "Upload tables: $build/bench-upload.md; phases of each run: $build/bench-upload-*.log"
