#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench/) and runs them: packets per
# second through HostCmd::sendRecord + HostCmd::receive for a 480-byte record,
# beside the bare AES-128-CBC encrypt + decrypt of its 496-byte body.
# Extra arguments go to the benchmark program (e.g. --benchmark_repetitions=9).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-bench"
jobs=${TOVRA_JOBS:-2}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_BENCH=ON -DTOVRA_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" -j "$jobs" tovra-bench-codec

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
