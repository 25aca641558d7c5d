#!/usr/bin/env bash
# Sets up, builds and runs the test suite.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
#   scripts/test.sh --release    Release build (what packagers build) in build-release/
#   scripts/test.sh --tsan       ThreadSanitizer build in build-tsan/: the link and USB suites only
# Exit status: the build's when it fails, otherwise ctest's.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${TOVRA_JOBS:-2}

mode=plain
for arg in "$@"; do
    case "$arg" in
        --sanitize) mode=sanitize ;;
        --release) mode=release ;;
        --tsan) mode=tsan ;;
        -h | --help)
            sed -n '2,7s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *)
            echo "test.sh: unknown option $arg" >&2
            exit 2
            ;;
    esac
done

bash "$root/scripts/setup.sh"

targets=()
tests=()
case "$mode" in
tsan)
    build="$root/build-tsan"
    config=(-DTOVRA_SANITIZE_THREAD=ON)
    # The suites where the USB reader thread meets the window's thread.
    targets=(tst_hostcmd tst_usbprinter tst_link_e2e tst_fileupload)
    tests=(-R "^($(IFS='|'; echo "${targets[*]}"))\$")
    # Qt is not instrumented, so the sanitizer cannot see its locks: what Qt
    # itself does through the sanitizer's interceptors goes unchecked. Every
    # access of our own code is checked; a report fails the suite.
    export TSAN_OPTIONS="halt_on_error=0:second_deadlock_stack=1:ignore_noninstrumented_modules=1"
    ;;
sanitize)
    build="$root/build-asan"
    config=(-DCMAKE_BUILD_TYPE=Debug -DTOVRA_SANITIZE=ON)
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    ;;
release)
    # Shared with the demo and the screenshots, which build only their targets.
    build="$root/build-release"
    config=(-DCMAKE_BUILD_TYPE=Release)
    ;;
*)
    build="$root/build"
    # The benchmarks are built here too, so that they keep compiling.
    config=(-DTOVRA_BUILD_BENCH=ON)
    ;;
esac

cmake -S "$root" -B "$build" -G Ninja -DTOVRA_BUILD_TESTS=ON -DTOVRA_WERROR=ON "${config[@]}" >/dev/null
ninja -C "$build" -j "$jobs" "${targets[@]}"

cd "$build"
exec ctest --output-on-failure --timeout 300 "${tests[@]}"
