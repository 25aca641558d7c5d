#!/usr/bin/env bash
# Screenshots of every tab and dialog in English, Simplified Chinese and
# Japanese, taken by tovra-screenshots against the printer simulator on a
# private Xvfb: builds Release (build-release/), then the simulator and the
# program each run in a network namespace of their own, joined by a veth pair
# (scripts/netns-lib.sh; needs root or sudo). Each language also prints the
# test page from its preview; the simulator's drawing of it is saved as
# 16-printed-page.png. The PNG files land in
# build-release/screenshots/{en,zh_CN,ja_JP}/, the logs in
# build-release/screenshots/logs/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-release"
shots="$build/screenshots"
logs="$shots/logs"
jobs=${TOVRA_JOBS:-2}

case "${1:-}" in
    "") ;;
    -h | --help)
        sed -n '2,10s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
        exit 0
        ;;
    *)
        echo "screenshots: unknown option $1" >&2
        exit 2
        ;;
esac

# shellcheck source=scripts/netns-lib.sh
source "$root/scripts/netns-lib.sh"
lab_need_root screenshots || exit 1

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_WERROR=ON >/dev/null
ninja -C "$build" -j "$jobs" tovra-screenshots tovra-printer-sim tovra-translations >/dev/null

started=$SECONDS
prints="$logs/prints"
mkdir -p "$logs"
rm -rf "$prints"
mkdir -p "$prints"
trap lab_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

lab_create tovra-shots
# Every feature, so that every tab is enabled; factory settings, kept in memory.
lab_start_sim "$logs/printer-sim.out" "$build/tools/printersim/tovra-printer-sim" \
    --project LQ520 --model LQ560 --log "$logs/printer-sim.log" --capture-dir "$prints"
lab_start_xvfb "$logs"
runtime="$logs/runtime"
mkdir -p "$runtime"
chmod 700 "$runtime"

status=0
for entry in 0:en 1:zh_CN 2:ja_JP; do
    language=${entry%%:*} name=${entry#*:}
    out="$shots/$name"
    # The program reads translations/ from its working directory, as the
    # application does, and keeps its log.txt there.
    work="$logs/$name"
    mkdir -p "$out" "$work"
    rm -f "$out"/*.png
    ln -sfn "$build/translations" "$work/translations"
    echo "Screenshots ($name):"
    # X reaches the namespace through its socket file.
    (cd "$work" && exec "${lab_as_root[@]}" ip netns exec "$lab_ns_app" "${lab_as_user[@]}" env DISPLAY="$DISPLAY" \
        XAUTHORITY="${XAUTHORITY:-}" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none \
        "$build/tools/screenshots/tovra-screenshots" --language "$language" --printer "$lab_printer_address" \
        --out "$out" --prints "$prints") &
    pid=$!
    lab_track "$pid"
    wait "$pid" || status=$?
    lab_forget "$pid"
    if ((status != 0)); then
        echo "screenshots: $name failed (exit $status); see $work/log.txt and $logs/printer-sim.log" >&2
        exit 1
    fi
    # The tool waited for its job, so the newest is this language's.
    page=$(find "$prints" -name 'job-*.png' | sort | tail -n 1)
    if [[ -z "$page" ]]; then
        echo "screenshots: the simulator drew no printed page in $prints" >&2
        exit 1
    fi
    cp "$page" "$out/16-printed-page.png"
    echo "  $out/16-printed-page.png (from $page)"
done
echo "Screenshots in $shots/{en,zh_CN,ja_JP}/ after $((SECONDS - started)) s."
