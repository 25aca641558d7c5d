#!/usr/bin/env bash
# Sets up, builds (Release, build-release/) and runs the demo: the printer
# simulator and the application, each in a private network namespace of its
# own, joined by a veth pair, so that discovery finds the simulated printer
# and nothing leaves this machine (needs root or sudo). The application works
# in build-release/demo/.
#   scripts/run-demo.sh               on your display: press Connect, pick the
#                                     printer; ends when the window is closed
#   scripts/run-demo.sh --seconds N   ends after N seconds
# Without a DISPLAY it runs on a private Xvfb and drives the window itself:
# Connect, the connect dialog, a reload, a screenshot of every tab, the test
# page's preview and its Print (the simulator draws the page in
# build-release/demo/prints/), Save Diagnostics into build-release/demo/
# (the archive is checked with unzip -t) and About. The screenshots are saved
# in build-release/demo/screenshots/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-release"
rundir="$build/demo"
shots="$rundir/screenshots"
jobs=${TOVRA_JOBS:-2}

seconds=""
while (($#)); do
    case "$1" in
        --seconds)
            [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "run-demo: --seconds needs a whole number" >&2; exit 2; }
            seconds=$2
            shift 2
            ;;
        -h | --help)
            sed -n '2,15s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *)
            echo "run-demo: unknown option $1" >&2
            exit 2
            ;;
    esac
done

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_WERROR=ON >/dev/null
ninja -C "$build" -j "$jobs" tovra-cloud-printer-setup tovra-printer-sim

app="$build/tovra-cloud-printer-setup"
sim="$build/tools/printersim/tovra-printer-sim"
mkdir -p "$rundir" "$rundir/prints"
# The application reads its translations relative to its working directory.
ln -sfn ../translations "$rundir/translations"
sim_log="$rundir/printer-sim.log"
sim_state="$rundir/printer-sim.json"
sim_out="$rundir/printer-sim.out"
: >"$sim_log"
# Each demo starts from the simulated printer's factory settings, with no
# pages printed: the simulator numbers its jobs from 1 again.
rm -f "$sim_state" "$rundir"/prints/job-*

# shellcheck source=scripts/netns-lib.sh
source "$root/scripts/netns-lib.sh"
lab_need_root run-demo || exit 1
trap lab_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

lab_create tovra-demo
ns_app=$lab_ns_app
ns_printer=$lab_ns_printer
printer_address=$lab_printer_address

# A printer with every feature, so that every tab has something to show.
lab_start_sim "$sim_out" "$sim" --project LQ520 --model LQ560 \
    --state "$sim_state" --log "$sim_log" --capture-dir "$rundir/prints" || exit 1
grep -m 1 "listening on" "$sim_out"

headless=0
if [[ -z "${DISPLAY:-}" ]]; then
    headless=1
    lab_start_xvfb "$rundir" || exit 1
    echo "No DISPLAY: running on a virtual X server (Xvfb) at $DISPLAY."
fi
runtime="$rundir/runtime"
mkdir -p "$runtime"
chmod 700 "$runtime"

echo "Printer simulator: $printer_address, in network namespace $ns_printer"
echo "  log:   $sim_log"
echo "  state: $sim_state"
echo "  test pages printed: $rundir/prints/ (job-NNNN.png draws each one, job-NNNN.txt reads it out as text)"
echo "Application: in network namespace $ns_app, working directory $rundir"

# X reaches the namespace through its socket file. Without root the program
# runs as the user again inside the namespace.
(cd "$rundir" && exec "${lab_as_root[@]}" ip netns exec "$ns_app" "${lab_as_user[@]}" env DISPLAY="$DISPLAY" \
    XAUTHORITY="${XAUTHORITY:-}" XDG_RUNTIME_DIR="$runtime" QT_XCB_GL_INTEGRATION=none "$app") &
app_pid=$!
lab_track "$app_pid"

wait_for() { # seconds, command...
    local limit=$(($1 * 10))
    shift
    for ((i = 0; i < limit; ++i)); do
        "$@" && return 0
        lab_alive "$app_pid" || return 1
        sleep 0.1
    done
    return 1
}
reads_in_log() { [[ $(grep -c "read request 6" "$sim_log") -ge $1 ]]; }
# The simulator writes a job's .bin after its drawing and text.
jobs_printed() { find "$rundir/prints" -name 'job-*.bin' | wc -l; }
more_jobs_than() { (($(jobs_printed) > $1)); }
# A window that closes while xdotool looks makes the search fail, so it is
# repeated until a visible window whose title matches shows; sets window.
window=""
find_window() { window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [[ -n "$window" ]]; }
await_window() { # title pattern
    wait_for 20 find_window "$1" && return 0
    echo "run-demo: no window titled like '$1' showed; see $rundir/log.txt" >&2
    return 1
}

if ((headless)); then
    await_window '^TOVRA Cloud Printer Setup' || exit 1
    main=$window
    eval "$(xdotool getwindowgeometry --shell "$main")"
    main_x=$X main_y=$Y main_w=$WIDTH main_h=$HEIGHT
    mkdir -p "$shots"
    rm -f "$shots"/*.png
    shot() { import -display "$DISPLAY" -window root "$shots/$1.png" && echo "  $shots/$1.png"; }
    echo "Screenshots:"
    shot 01-not-connected

    # Connect is the first tool button.
    xdotool mousemove "$((main_x + 28))" "$((main_y + 30))" click 1
    await_window '^Connect to Printer$' || exit 1
    dialog=$window
    wait_for 20 grep -q "discovery" "$sim_log" || true
    sleep 1
    shot 02-connect-dialog
    # A double click on the printer's row connects.
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    xdotool mousemove "$((X + 150))" "$((Y + 37))" click --repeat 2 --delay 100 1
    if ! wait_for 20 reads_in_log 1; then
        echo "run-demo: the application did not connect; see $rundir/log.txt and $sim_log" >&2
        exit 1
    fi
    sleep 1
    shot 03-connected

    # Reload is the third tool button, after a separator.
    xdotool mousemove "$((main_x + 214))" "$((main_y + 30))" click 1
    if wait_for 10 reads_in_log 2; then echo "Reload: the six records were read again."; fi
    sleep 0.5

    # Walk the tabs with the keyboard from the first one.
    xdotool mousemove "$((main_x + 60))" "$((main_y + 80))" click 1
    for name in device-information ethernet 4g wi-fi serial audio print-settings; do
        sleep 0.4
        shot "tab-$name"
        xdotool key ctrl+Tab
    done

    # Back to the print settings tab; "Preview..." is the first of its
    # buttons, which sit at the bottom right. Its menu's first entry is the
    # print test page.
    xdotool key ctrl+shift+Tab
    sleep 0.4
    xdotool mousemove "$((main_x + main_w - 404))" "$((main_y + main_h - 52))" click 1
    sleep 0.4
    xdotool key Down Return
    await_window '^Print Preview$' || exit 1
    dialog=$window
    sleep 0.5
    shot preview
    # Print is the left one of the two buttons at its bottom right.
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    jobs_before=$(jobs_printed)
    xdotool mousemove "$((X + WIDTH - 140))" "$((Y + HEIGHT - 25))" click 1
    if ! wait_for 20 more_jobs_than "$jobs_before"; then
        echo "run-demo: the simulator got no print job; see $sim_log" >&2
        exit 1
    fi
    page=$(find "$rundir/prints" -name 'job-*.png' | sort | tail -n 1)
    echo "Printed from the preview: the simulator drew the page in $page"

    # "Diagnostics" is the tool bar's seventh button.
    archive="$rundir/diagnostics.zip"
    rm -f "$archive"
    xdotool mousemove "$((main_x + 519))" "$((main_y + 30))" click 1
    await_window '^Save Diagnostics$' || exit 1
    sleep 0.5
    xdotool key ctrl+a
    xdotool type --delay 20 "$archive"
    xdotool key Return
    await_window '^Information$' || exit 1
    sleep 0.5
    shot diagnostics-saved
    xdotool key Escape
    if [[ ! -f "$archive" ]] || ! unzip -tq "$archive"; then
        echo "run-demo: no sound diagnostics archive at $archive; see $rundir/log.txt" >&2
        exit 1
    fi
    echo "Diagnostics archive $archive (unzip -t passes):"
    unzip -l "$archive"

    # About is the last tool button, at the right end.
    sleep 0.4
    xdotool mousemove "$((main_x + main_w - 33))" "$((main_y + 30))" click 1
    await_window '^About$' || exit 1
    sleep 0.5
    shot about
    xdotool key Escape
    echo "Connected to the simulated printer; screenshots are in $shots"
    if [[ -z "$seconds" ]]; then exit 0; fi
fi

if [[ -z "$seconds" ]]; then
    echo "Press Connect, pick the printer (\"Network ($printer_address)\") and Connect."
    echo "Close the window or press Ctrl-C to end the demo."
    status=0
    wait "$app_pid" || status=$?
    lab_forget "$app_pid"
    exit "$status"
fi
for ((i = 0; i < seconds * 10; ++i)); do
    lab_alive "$app_pid" || break
    sleep 0.1
done
echo "Demo over after $seconds s."
