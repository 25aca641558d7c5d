#!/usr/bin/env bash
# Sets up, builds (Release, build-release/) and shows the command line on a
# simulated fleet: five printers on 127.0.10.1 to 127.0.10.5 (loopback only),
# their settings in build-release/fleet-demo/. It backs one printer up, clones
# its settings to the others with an address each, changes two by hand, finds
# the drift and mends it. Each command is printed before it runs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-release"
demo="$build/fleet-demo"
jobs=${TOVRA_JOBS:-2}

case "${1:-}" in
    -h | --help)
        sed -n '2,6s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
        exit 0
        ;;
    "") ;;
    *)
        echo "fleet-demo: unknown option $1" >&2
        exit 2
        ;;
esac

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_WERROR=ON >/dev/null
ninja -C "$build" -j "$jobs" tovra-printer-ctl tovra-printer-sim

export PATH="$build/tools/printerctl:$build/tools/printersim:$PATH"
rm -rf "$demo"
mkdir -p "$demo"
cd "$demo"

tovra-printer-sim --fleet 5 --listen 127.0.10.1 --state state --log sim.log >sim.out 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    (($(grep -c listening sim.out 2>/dev/null || true) == 5)) && break
    sleep 0.1
done

fleet=(127.0.10.{1..5})
# Runs a command after printing it; the demo fails when its exit status is
# not the one expected (2: differences found).
run() {
    local expected=$1 status=0
    shift
    printf '\n$ %s\n' "$*"
    "$@" || status=$?
    ((status == 0)) || echo "(exit status $status)"
    ((status == expected)) || { echo "fleet-demo: expected exit status $expected" >&2; exit 1; }
}

run 0 tovra-printer-ctl info 127.0.10.1
run 0 tovra-printer-ctl set 127.0.10.1 print.density=120 audio.notice=false
run 0 tovra-printer-ctl backup 127.0.10.1 -o shop.json
# The file sets a static address: each printer takes its own from vars.csv.
{
    echo "sn,ethernet.static_ip"
    for i in 1 2 3 4 5; do
        echo "LQ5202405000-00$i,192.168.7.$((10 + i))"
    done
} >vars.csv
run 0 cat vars.csv
run 2 tovra-printer-ctl apply shop.json "${fleet[@]}" --vars vars.csv --check
run 0 tovra-printer-ctl apply shop.json "${fleet[@]}" --vars vars.csv
run 0 tovra-printer-ctl set 127.0.10.2 print.density=80
run 0 tovra-printer-ctl set 127.0.10.4 serial.baud=9600
run 2 tovra-printer-ctl drift shop.json "${fleet[@]}" --vars vars.csv
run 0 tovra-printer-ctl apply shop.json "${fleet[@]}" --vars vars.csv --diff
run 0 tovra-printer-ctl --json drift shop.json "${fleet[@]}" --vars vars.csv
