#!/usr/bin/env bash
# Sets up, builds (Release, build-release/) and runs the demo: the printer
# simulator on 127.0.0.1:17900 and, beside it, the application, both working
# in build-release/demo/. Without a DISPLAY it all runs on a private Xvfb.
#   scripts/run-demo.sh               until the window is closed or Ctrl-C
#   scripts/run-demo.sh --seconds N   ends after N seconds (under Xvfb it
#                                     first saves build-release/demo/screenshot.png)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-release"
rundir="$build/demo"
jobs=${TOVRA_JOBS:-2}
address=127.0.0.1
port=17900

seconds=""
while (($#)); do
    case "$1" in
        --seconds)
            [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "run-demo: --seconds needs a whole number" >&2; exit 2; }
            seconds=$2
            shift 2
            ;;
        -h | --help)
            sed -n '2,7s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *)
            echo "run-demo: unknown option $1" >&2
            exit 2
            ;;
    esac
done

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" -j "$jobs" tovra-cloud-printer-setup tovra-printer-sim

app="$build/tovra-cloud-printer-setup"
sim="$build/tools/printersim/tovra-printer-sim"
mkdir -p "$rundir"
sim_log="$rundir/printer-sim.log"
sim_state="$rundir/printer-sim.json"
sim_out="$rundir/printer-sim.out"

# Only the processes started here are stopped, by their PIDs.
sim_pid="" app_pid="" xvfb_pid=""
cleanup() {
    local pid
    for pid in "$app_pid" "$sim_pid" "$xvfb_pid"; do
        [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
    done
    for pid in "$app_pid" "$sim_pid" "$xvfb_pid"; do
        [[ -n "$pid" ]] && wait "$pid" 2>/dev/null || true
    done
}
alive() { [[ -n "$1" ]] && kill -0 "$1" 2>/dev/null; }

# Nobody sees a virtual screen: save it before the application is stopped.
headless=0
snapshot() {
    ((headless)) && alive "$app_pid" || return 0
    local shot="$rundir/screenshot.png" windows
    # Top-level windows with a class are the program's real windows.
    windows=$(xwininfo -display "$DISPLAY" -root -children 2>/dev/null \
        | sed -n 's/^ *0x[0-9a-f]* \(".*"\): ("[^)]*) *\([0-9]*x[0-9]*\).*/\1 \2/p' | paste -sd, - || true)
    if import -display "$DISPLAY" -window root "$shot"; then
        echo "Screenshot: $shot (windows: ${windows:-none})"
    fi
}

trap cleanup EXIT
trap 'snapshot; exit 130' INT
trap 'exit 143' TERM

"$sim" --listen "$address" --port "$port" --state "$sim_state" --log "$sim_log" >"$sim_out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q "listening on" "$sim_out" && break
    alive "$sim_pid" || break
    sleep 0.1
done
if ! grep -q "listening on" "$sim_out"; then
    if alive "$sim_pid"; then
        echo "run-demo: the printer simulator did not report listening within 10 s:" >&2
    else
        status=0
        wait "$sim_pid" || status=$?
        sim_pid=""
        echo "run-demo: the printer simulator exited with status $status:" >&2
    fi
    cat "$sim_out" >&2
    exit 1
fi
grep -m 1 "listening on" "$sim_out"

if [[ -z "${DISPLAY:-}" ]]; then
    headless=1
    displayfile="$rundir/xvfb.display"
    : >"$displayfile"
    # -displayfd: Xvfb picks a free display number and writes it there.
    # setsid: a Ctrl-C in the terminal must not end it before the screenshot.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >"$rundir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s "$displayfile" ]] && break
        alive "$xvfb_pid" || break
        sleep 0.1
    done
    if [[ ! -s "$displayfile" ]]; then
        echo "run-demo: Xvfb did not start:" >&2
        cat "$rundir/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$(tr -d '[:space:]' <"$displayfile")"
    export QT_XCB_GL_INTEGRATION=none
    if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
        export XDG_RUNTIME_DIR="$rundir/runtime"
        mkdir -p "$XDG_RUNTIME_DIR"
        chmod 700 "$XDG_RUNTIME_DIR"
    fi
    echo "No DISPLAY: running on a virtual X server (Xvfb) at $DISPLAY."
fi

echo "Printer simulator: $address:$port"
echo "  log:   $sim_log"
echo "  state: $sim_state"
echo "Application working directory: $rundir"
echo "  configuration: $rundir/tovra-cloud-printer-setup.ini"
echo "  debug log:     $rundir/log.txt"

# Started straight from this shell, not from a subshell, so that it keeps
# ignoring SIGINT and a Ctrl-C leaves it alive for the screenshot.
cd "$rundir"
"$app" &
app_pid=$!
cd "$root"

if [[ -z "$seconds" ]]; then
    if ((headless)); then
        echo "Press Ctrl-C to end the demo (a screenshot is saved first)."
    else
        echo "Close the window or press Ctrl-C to end the demo."
    fi
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    exit "$status"
fi

for ((i = 0; i < seconds * 10; ++i)); do
    alive "$app_pid" || break
    sleep 0.1
done
if ! alive "$app_pid"; then
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    echo "run-demo: the application ended by itself (status $status)"
    exit "$status"
fi
snapshot
echo "Demo over after $seconds s."
