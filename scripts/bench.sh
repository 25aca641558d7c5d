#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench/), measures every figure beside
# a floor measured in the same run, and writes build-bench/bench-report.md:
#   start-up      process start to the main window's first frame (offscreen),
#                 beside a bare Qt Widgets window of the same shape
#   peak memory   after connecting and loading every page, beside that window
#   connect       Transceiver::openTcp to the six records shown, beside the
#                 reload's 25 ms of pauses plus six plain-socket round trips
#   discovery     the printer's reply on the dialog's socket to its row
#                 painted, held against one frame (needs root or sudo for
#                 private network namespaces; skipped otherwise)
#   font upload   10 MB to the printer simulator, beside QTcpSocket and send()
#   codec         HostCmd sendRecord + receive beside bare AES-128-CBC
#   render        the black-mark test page drawn, beside its lines of text
#                 drawn with QPainter alone, and against one frame
#   soak          1000 reloads and 100 uploads on one link: memory growth
#   fleet         tovra-printer-ctl backup and apply on 1, 10 and 100 printers
#                 of the simulator's --fleet (loopback), wall time and peak
#                 memory against one printer's; info of one printer beside a
#                 bare QtCore process's start plus the connect floor
# Network figures are bimodal on two cores, depending on whether the two
# ends share a CPU: they are taken pinned to CPU 0 and unpinned.
# Environment: TOVRA_BENCH_BUILD (build directory), TOVRA_JOBS (2),
# TOVRA_UPLOAD_RUNS (5), TOVRA_STARTUP_RUNS (15), TOVRA_CONNECT_RUNS (15),
# TOVRA_DISCOVERY_RUNS (15), TOVRA_SOAK_RELOADS (1000), TOVRA_SOAK_UPLOADS (100),
# TOVRA_FLEET_RUNS (5), TOVRA_INFO_RUNS (9).
# Extra arguments go to the codec benchmark (e.g. --benchmark_repetitions=9).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TOVRA_BENCH_BUILD:-"$root/build-bench"}
jobs=${TOVRA_JOBS:-2}
bin="$build/bench"
run="$build/bench-run"
report="$build/bench-report.md"
started=$(date +%s)
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)

# Root for the network namespaces; processes and namespaces are stopped and
# deleted by PID and name on every way out.
as_root=()
discovery_skipped=""
if ((EUID != 0)); then
    if sudo -n true 2>/dev/null; then as_root=(sudo -n); else discovery_skipped="needs root or password-less sudo for network namespaces"; fi
fi
ns_app="tovra-bench-app-$$"
ns_printer="tovra-bench-printer-$$"
ns_bare="tovra-bench-bare-$$"
veth_app="tvba$$"
veth_printer="tvbp$$"
app_address=10.213.78.1
printer_address=10.213.78.2
echo_port=17898
namespaces=()
pids=()
step_pid=""
cleanup() {
    local pid ns
    [[ -n "$step_pid" ]] && { "${as_root[@]}" kill "$step_pid" 2>/dev/null || true; wait "$step_pid" 2>/dev/null || true; }
    step_pid=""
    for pid in "${pids[@]}"; do "${as_root[@]}" kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
    for ns in "${namespaces[@]}"; do "${as_root[@]}" ip netns del "$ns" 2>/dev/null || true; done
    namespaces=()
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_BENCH=ON -DTOVRA_BUILD_TESTS=OFF -DTOVRA_WERROR=ON >/dev/null
ninja -C "$build" -j "$jobs" tovra-bench-codec tovra-bench-upload tovra-bench-startup tovra-bench-startup-floor \
    tovra-bench-spawn tovra-bench-discovery tovra-bench-rusage tovra-bench-qtcore tovra-bench-render tovra-printer-sim
# The command line is measured where the tree has it.
fleet_skipped=""
if ninja -C "$build" -t targets all | grep -q '^tovra-printer-ctl:'; then
    ninja -C "$build" -j "$jobs" tovra-printer-ctl
else
    fleet_skipped="no tovra-printer-ctl in this tree"
fi

# The programs keep their configuration and log in the working directory.
mkdir -p "$run/runtime"
chmod 700 "$run/runtime"
cd "$run"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$run/runtime"

# Value of KEY in a file of key=value lines; empty when missing.
get() { sed -n "s/^$2=//p" "$1" | head -n 1; }
calc() { awk "BEGIN { printf \"%.${2:-2}f\", $1 }"; }
holds() { awk "BEGIN { exit !($1) }" && echo yes || echo "**no**"; }

# Long steps run in the background while the script waits, so that a signal
# reaches the trap at once; the trap stops the step by its PID.
run_waiting() {
    "$@" &
    step_pid=$!
    local status=0
    wait "$step_pid" || status=$?
    step_pid=""
    return "$status"
}

rows=()
row() { rows+=("| $1 | $2 | $3 | $4 | $5 | $6 |"); }
notes=()

# Runs a Google Benchmark program NAME (tovra-bench-NAME) five times and
# keeps each benchmark's median CPU time as key=value in bench-NAME.kv.
benchmark_medians() {
    local name=$1
    shift
    run_waiting "$bin/tovra-bench-$name" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out="$build/bench-$name.csv" --benchmark_out_format=csv "$@" >"$build/bench-$name.log"
    awk -F, '
        /^name,/ { for (i = 1; i <= NF; ++i) column[$i] = i; next }
        !("cpu_time" in column) { next }
        {
            name = $column["name"]; gsub(/"/, "", name)
            if (name ~ /_median$/) { sub(/_median$/, "", name); print name "=" $column["cpu_time"] }
        }' "$build/bench-$name.csv" >"$build/bench-$name.kv"
}

# Codec: medians of 5 repetitions, CPU time per item.
echo "== codec"
benchmark_medians codec "$@"
codec=$(get "$build/bench-codec.kv" hostCmdRoundTrip)
codec_floor=$(get "$build/bench-codec.kv" aesCbcFloor)
[[ -n "$codec" && -n "$codec_floor" ]] || { echo "bench: codec results incomplete, see $build/bench-codec.csv" >&2; exit 1; }
row "codec: sendRecord + receive, 480-byte record" "$(calc "$codec" 0) ns" "$(calc "$codec_floor" 0) ns (AES-128-CBC, 496 bytes, both ways)" \
    "$(calc "$codec / $codec_floor")" "ratio ≤ 2" "$(holds "$codec / $codec_floor <= 2")"

# Render: medians of 5 repetitions, CPU time per page in ms.
echo "== render"
benchmark_medians render
render=$(get "$build/bench-render.kv" renderBlackMarkPage)
render_floor=$(get "$build/bench-render.kv" drawTextFloor)
[[ -n "$render" && -n "$render_floor" ]] || { echo "bench: render results incomplete, see $build/bench-render.csv" >&2; exit 1; }
row "render: black-mark test page, 80 mm, bytes to image" "$(calc "$render") ms" "$(calc "$render_floor") ms (its lines drawn with QPainter alone)" \
    "$(calc "$render / $render_floor")" "ratio ≤ 2, ≤ 16 ms" "$(holds "$render / $render_floor <= 2 && $render <= 16")"

# Start-up and the floor window's peak memory: whole processes, in turn.
echo "== start-up"
run_waiting "$bin/tovra-bench-spawn" "${TOVRA_STARTUP_RUNS:-15}" app "$bin/tovra-bench-startup" \
    floor "$bin/tovra-bench-startup-floor" >"$build/bench-startup.kv" 2>"$build/bench-startup.log" \
    || { cat "$build/bench-startup.log" >&2; exit 1; }
startup=$(get "$build/bench-startup.kv" app_ms)
startup_floor=$(get "$build/bench-startup.kv" floor_ms)
row "start-up: process start to main window painted" "$startup ms" "$startup_floor ms (bare window, same shape)" \
    "$(calc "$startup / $startup_floor")" "ratio ≤ 1.3" "$(holds "$startup / $startup_floor <= 1.3")"

# Connect, and the peak memory after the first connect loaded every page.
# The program starts the simulator itself, which inherits the pinning.
echo "== connect"
connect_runs=${TOVRA_CONNECT_RUNS:-15}
run_waiting taskset -c 0 "$bin/tovra-bench-startup" --bench-connect --bench-shape --bench-runs "$connect_runs" \
    >"$build/bench-connect-pinned.kv" 2>"$build/bench-connect-pinned.log" \
    || { cat "$build/bench-connect-pinned.log" >&2; exit 1; }
run_waiting "$bin/tovra-bench-startup" --bench-connect --bench-runs "$connect_runs" \
    >"$build/bench-connect-unpinned.kv" 2>"$build/bench-connect-unpinned.log" \
    || { cat "$build/bench-connect-unpinned.log" >&2; exit 1; }
for pin in pinned unpinned; do
    kv="$build/bench-connect-$pin.kv"
    c=$(get "$kv" connect_ms) f=$(get "$kv" connect_floor_ms) t=$(get "$kv" trips_ms)
    label=$([[ $pin == pinned ]] && echo "pinned to CPU 0" || echo unpinned)
    row "connect, $label: openTcp to six records shown" "$c ms" "$f ms (25 ms pauses + six round trips of $t ms in all)" \
        "$(calc "$c / $f")" "ratio ≤ 1.5" "$(holds "$c / $f <= 1.5")"
done
peak=$(get "$build/bench-connect-unpinned.kv" peak_after_connect_kb)
peak_floor=$(get "$build/bench-startup.kv" floor_vmhwm_kb)
row "peak memory (VmHWM) after connecting and loading all pages" "$((peak / 1024)) MiB" \
    "$((peak_floor / 1024)) MiB (bare window at its first frame)" "$(calc "$peak / $peak_floor")" "ratio ≤ 1.5" \
    "$(holds "$peak / $peak_floor <= 1.5")"
notes+=("Peak memory without a connection (the start-up runs, median): $(($(get "$build/bench-startup.kv" app_vmhwm_kb) / 1024)) MiB.")

# Font upload, reusing its own benchmark and table.
echo "== font upload"
upload() {
    local name=$1
    shift
    if ! run_waiting "$@" "$bin/tovra-bench-upload" --runs "${TOVRA_UPLOAD_RUNS:-5}" \
        --report "$build/bench-upload-$name.md" >/dev/null 2>"$build/bench-upload-$name.log"; then
        cat "$build/bench-upload-$name.log" >&2
        exit 1
    fi
}
upload pinned taskset -c 0
upload unpinned
cat "$build/bench-upload-pinned.md" <(echo) "$build/bench-upload-unpinned.md" >"$build/bench-upload.md"
for pin in pinned unpinned; do
    # Rows: | path | MB/s, request to stored | ...
    rate() { awk -F'|' -v path="$1" '{ p = $2; gsub(/^ +| +$/, "", p) } p == path { gsub(/ /, "", $3); print $3 }' \
        "$build/bench-upload-$pin.md"; }
    u=$(rate FileUpload) a=$(rate "floor (a) QTcpSocket") b=$(rate "floor (b) send()")
    label=$([[ $pin == pinned ]] && echo "pinned to CPU 0" || echo unpinned)
    row "font upload, $label: 10 MB over TCP" "$u MB/s" "(a) QTcpSocket $a MB/s; (b) send() $b MB/s" \
        "$(calc "$u / $a") of (a); $(calc "$u / $b") of (b)" "≥ 0.8 of (a)" "$(holds "$u / $a >= 0.8")"
done

# Discovery, only inside private network namespaces: the dialog multicasts on
# every interface it sees. The app side and the printer each get one, joined
# by a veth pair; the floor's namespace has nothing but loopback.
echo "== discovery"
make_namespaces() {
    local ns
    for ns in "$ns_app" "$ns_printer" "$ns_bare"; do
        "${as_root[@]}" ip netns add "$ns" || return 1
        namespaces+=("$ns")
        "${as_root[@]}" ip -n "$ns" link set lo up || return 1
    done
    "${as_root[@]}" ip link add "$veth_app" netns "$ns_app" type veth peer name "$veth_printer" netns "$ns_printer" || return 1
    for side in "$ns_app $veth_app $app_address" "$ns_printer $veth_printer $printer_address"; do
        read -r ns dev address <<<"$side"
        "${as_root[@]}" ip -n "$ns" addr add "$address/24" dev "$dev" || return 1
        "${as_root[@]}" ip -n "$ns" link set "$dev" up || return 1
        "${as_root[@]}" ip -n "$ns" route add 224.0.0.0/4 dev "$dev" || return 1
    done
}

# Starts a program in the printer's namespace and waits for `ready` in its output.
start_printer_side() { # pin out ready program args...
    local pin=$1 out=$2 ready=$3
    shift 3
    local pinning=()
    [[ $pin == pinned ]] && pinning=(taskset -c 0)
    # exec all the way down: the PID kept is the program's own.
    (exec "${pinning[@]}" "${as_root[@]}" ip netns exec "$ns_printer" "$@" >"$out" 2>&1) &
    pids+=($!)
    for _ in $(seq 100); do
        grep -q "$ready" "$out" 2>/dev/null && return 0
        "${as_root[@]}" kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    echo "bench: $1 did not start in the printer's namespace:" >&2
    cat "$out" >&2
    return 1
}

discovery_runs=${TOVRA_DISCOVERY_RUNS:-15}
discovery_round() { # pinned|unpinned
    local pin=$1 pinning=() as_user=()
    [[ $pin == pinned ]] && pinning=(taskset -c 0)
    ((EUID == 0)) || as_user=(sudo -n -u "$USER")
    start_printer_side "$pin" "$build/bench-discovery-sim-$pin.log" "answering discovery" \
        "$build/tools/printersim/tovra-printer-sim" --listen "$printer_address" --keepalive-ms 0
    start_printer_side "$pin" "$build/bench-discovery-echo-$pin.log" "echoing" \
        "$bin/tovra-bench-discovery" --echo "$echo_port"
    run_waiting "${pinning[@]}" "${as_root[@]}" ip netns exec "$ns_app" "${as_user[@]}" env QT_QPA_PLATFORM=offscreen \
        XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$bin/tovra-bench-discovery" --runs "$discovery_runs" --expect-row \
        --echo-to "$printer_address:$echo_port" --sim "$printer_address" \
        >"$build/bench-discovery-$pin.kv" 2>"$build/bench-discovery-$pin.log"
    run_waiting "${pinning[@]}" "${as_root[@]}" ip netns exec "$ns_bare" "${as_user[@]}" env QT_QPA_PLATFORM=offscreen \
        XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$bin/tovra-bench-discovery" --runs "$discovery_runs" \
        >"$build/bench-discovery-floor-$pin.kv" 2>"$build/bench-discovery-floor-$pin.log"
    cleanup_printer_side
}
cleanup_printer_side() {
    local pid
    for pid in "${pids[@]}"; do "${as_root[@]}" kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
}

if [[ -z "$discovery_skipped" ]]; then
    if ! make_namespaces 2>"$build/bench-netns.log"; then
        discovery_skipped="cannot create network namespaces: $(tr '\n' ' ' <"$build/bench-netns.log")"
    fi
fi
if [[ -n "$discovery_skipped" ]]; then
    row "discovery: the printer's reply to its row painted" "skipped" "–" "–" "≤ 16.7 ms (one frame)" \
        "skipped: $discovery_skipped"
else
    for pin in pinned unpinned; do
        discovery_round "$pin"
        kv="$build/bench-discovery-$pin.kv"
        d=$(get "$kv" dialog_ms) f=$(get "$build/bench-discovery-floor-$pin.kv" dialog_ms)
        r=$(get "$kv" reply_to_row_ms)
        label=$([[ $pin == pinned ]] && echo "pinned to CPU 0" || echo unpinned)
        row "discovery, $label: the printer's reply on the dialog's socket to its row painted" "$r ms" \
            "– (worst of $discovery_runs: $(get "$kv" reply_to_row_max_ms) ms)" "–" "≤ 16.7 ms (one frame)" \
            "$(holds "$r <= 16.7")"
        notes+=("Discovery, $pin, from the dialog's construction (medians): first Paint event $(get "$kv" first_paint_event_ms) ms, first frame done $(get "$kv" first_frame_ms) ms (without network: $(get "$build/bench-discovery-floor-$pin.kv" first_paint_event_ms) and $f ms), row inserted $(get "$kv" row_inserted_ms) ms, its repaint begins $(get "$kv" row_paint_ms) ms, done $d ms; from the reply's arrival, the repaint begins after $(get "$kv" reply_to_paint_ms) ms. One event-loop pass takes $(get "$kv" pass_us) µs, a UDP round trip to an echo on the printer's side $(get "$kv" udp_rtt_us) µs; the simulator answers a unicast discovery request in $(get "$kv" sim_udp_rtt_us) µs; the interface list each pass reads takes $(get "$kv" interfaces_us) µs.")
    done
    cleanup
fi

# Fleets: whole tovra-printer-ctl processes against one simulator serving 100
# printers on loopback (127.0.77.1 up), as the user runs them (default
# --jobs). apply writes one field on every printer each run, the value
# alternating so that each run changes it.
echo "== fleet"
fleet_runs=${TOVRA_FLEET_RUNS:-5}
info_runs=${TOVRA_INFO_RUNS:-9}
fleet_base=127.0.77
fleet_port=17931
fleet_dir="$run/fleet"
ctl="$build/tools/printerctl/tovra-printer-ctl"
fleet_log="$build/bench-fleet.log"
: >"$fleet_log"
# Runs a command RUNS times after one warm-up through the rusage wrapper;
# @APPLY@ stands for the apply file of the run. Sets m_ms and m_kb (medians)
# or returns 1, with the reason in m_failed.
measure() { # runs command...
    local runs=$1 i out walls=() kbs=() arg args
    shift
    for ((i = 0; i <= runs; ++i)); do
        args=()
        for arg in "$@"; do
            [[ $arg == @APPLY@ ]] && arg="$fleet_dir/apply-$((i % 2)).json"
            args+=("$arg")
        done
        echo "--- ${args[*]}" >>"$fleet_log"
        out=$("$bin/tovra-bench-rusage" "$fleet_log" 120 "${args[@]}")
        if [[ $(sed -n 's/^exit=//p' <<<"$out") != 0 ]]; then
            m_failed="$(basename "$1") ${2:-} exited with $(sed -n 's/^exit=//p' <<<"$out"), see $fleet_log"
            return 1
        fi
        ((i == 0)) && continue
        walls+=("$(sed -n 's/^wall_ms=//p' <<<"$out")")
        kbs+=("$(sed -n 's/^maxrss_kb=//p' <<<"$out")")
    done
    m_ms=$(printf '%s\n' "${walls[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
    m_kb=$(printf '%s\n' "${kbs[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
}
fleet_round() {
    local n printers=() i
    mkdir -p "$fleet_dir"
    for i in 0 1; do
        printf '{"format": "tovra-printer-settings", "version": 1, "print": {"density": %d}}\n' $((90 + 20 * i)) \
            >"$fleet_dir/apply-$i.json"
    done
    "$build/tools/printersim/tovra-printer-sim" --fleet 100 --listen "$fleet_base.1" --port "$fleet_port" \
        --keepalive-ms 0 >"$build/bench-fleet-sim.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        (($(grep -c 'listening on' "$build/bench-fleet-sim.log") >= 100)) && break
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    if (($(grep -c 'listening on' "$build/bench-fleet-sim.log") < 100)); then
        fleet_skipped="the simulator did not serve a fleet: $(head -c 300 "$build/bench-fleet-sim.log" | tr '\n' ' ')"
        return 1
    fi
    for n in 1 10 100; do
        printers=()
        for ((i = 1; i <= n; ++i)); do printers+=("$fleet_base.$i:$fleet_port"); done
        local target="$fleet_dir/backup-$n"
        ((n == 1)) && target="$fleet_dir/backup-1.json" || mkdir -p "$target"
        measure "$fleet_runs" "$ctl" backup "${printers[@]}" -o "$target" || return 1
        fleet_backup_ms[$n]=$m_ms fleet_backup_kb[$n]=$m_kb
        measure "$fleet_runs" "$ctl" apply @APPLY@ "${printers[@]}" || return 1
        fleet_apply_ms[$n]=$m_ms fleet_apply_kb[$n]=$m_kb
    done
    measure "$info_runs" "$ctl" info "$fleet_base.1:$fleet_port" || return 1
    fleet_info_ms=$m_ms
    measure "$info_runs" "$bin/tovra-bench-qtcore" || return 1
    fleet_qtcore_ms=$m_ms
}
declare -A fleet_backup_ms fleet_backup_kb fleet_apply_ms fleet_apply_kb
m_failed=""
if [[ -z "$fleet_skipped" ]] && ! fleet_round; then
    [[ -n "$fleet_skipped" ]] || fleet_skipped="failed: $m_failed"
fi
cleanup_printer_side
if [[ -n "$fleet_skipped" ]]; then
    row "fleet: tovra-printer-ctl backup, apply and info" "skipped" "–" "–" "–" "skipped: $fleet_skipped"
else
    for command in backup apply; do
        declare -n ms_of="fleet_${command}_ms" kb_of="fleet_${command}_kb"
        for n in 10 100; do
            row "fleet: tovra-printer-ctl $command, $n printers, wall time" "$(calc "${ms_of[$n]}" 1) ms" \
                "$(calc "${ms_of[1]}" 1) ms (one printer)" "$(calc "${ms_of[$n]} / ${ms_of[1]}")" \
                "$([[ $n == 100 ]] && echo "ratio ≤ 3" || echo "–")" \
                "$([[ $n == 100 ]] && holds "${ms_of[$n]} / ${ms_of[1]} <= 3" || echo "–")"
        done
        row "fleet: tovra-printer-ctl $command, 100 printers, peak memory (ru_maxrss)" \
            "$((${kb_of[100]} / 1024)) MiB" "$((${kb_of[1]} / 1024)) MiB (one printer)" \
            "$(calc "${kb_of[100]} / ${kb_of[1]}")" "ratio ≤ 2" "$(holds "${kb_of[100]} / ${kb_of[1]} <= 2")"
        notes+=("Fleet, $command (medians of $fleet_runs): $(calc "${ms_of[1]}" 1), $(calc "${ms_of[10]}" 1) and $(calc "${ms_of[100]}" 1) ms, peak $((${kb_of[1]} / 1024)), $((${kb_of[10]} / 1024)) and $((${kb_of[100]} / 1024)) MiB for 1, 10 and 100 printers.")
        unset -n ms_of kb_of
    done
    connect_floor=$(get "$build/bench-connect-unpinned.kv" connect_floor_ms)
    info_floor=$(calc "$fleet_qtcore_ms + $connect_floor" 1)
    row "fleet: tovra-printer-ctl info, one printer" "$(calc "$fleet_info_ms" 1) ms" \
        "$info_floor ms (bare QtCore start $(calc "$fleet_qtcore_ms" 1) ms + connect floor $connect_floor ms)" \
        "$(calc "$fleet_info_ms / $info_floor")" "ratio ≤ 1.5" "$(holds "$fleet_info_ms / $info_floor <= 1.5")"
fi

# Soak: one link, reloads with an upload of 64 KiB after every tenth.
echo "== soak"
run_waiting "$bin/tovra-bench-startup" --bench-soak --bench-reloads "${TOVRA_SOAK_RELOADS:-1000}" \
    --bench-uploads "${TOVRA_SOAK_UPLOADS:-100}" >"$build/bench-soak.kv" 2>"$build/bench-soak.log" \
    || { cat "$build/bench-soak.log" >&2; exit 1; }
s0=$(get "$build/bench-soak.kv" soak_start_rss_kb) s1=$(get "$build/bench-soak.kv" soak_end_rss_kb)
row "soak: $(get "$build/bench-soak.kv" soak_reloads) reloads + $(get "$build/bench-soak.kv" soak_uploads) uploads of 64 KiB, one link" \
    "$((s1 / 1024)) MiB resident at the end" "$((s0 / 1024)) MiB at the start" "$(calc "($s1 - $s0) * 100 / $s0" 1) %" \
    "growth ≤ 5 %" "$(holds "($s1 - $s0) * 100 / $s0 <= 5")"
notes+=("Soak: $(get "$build/bench-soak.kv" soak_seconds) s, median reload $(get "$build/bench-soak.kv" soak_reload_median_ms) ms; resident after the first tenth $(($(get "$build/bench-soak.kv" soak_tenth_rss_kb) / 1024)) MiB.")

{
    echo "# Benchmarks"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- 2>/dev/null || echo ' with local changes'), $(($(date +%s) - started)) s."
    echo "Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1); load average at the start $load_at_start, at the end $(cut -d' ' -f1-3 /proc/loadavg)."
    echo
    echo "| figure | measured | floor, same run | ratio / difference | goal | met? |"
    echo "| --- | ---: | --- | ---: | --- | --- |"
    printf '%s\n' "${rows[@]}"
    echo
    echo "Medians: start-up of ${TOVRA_STARTUP_RUNS:-15} process starts each, taken in turn; connect of $connect_runs; discovery of $discovery_runs dialogs; fleet commands of $fleet_runs and info of $info_runs, each after a warm-up; font upload of ${TOVRA_UPLOAD_RUNS:-5}; codec of 5 repetitions (CPU time). A load average near or above $(nproc) means a busy machine: figures then say little."
    echo
    for note in "${notes[@]}"; do echo "- $note"; done
    echo
    cat "$build/bench-upload.md"
} >"$report"
echo
cat "$report"
echo
echo "Report: $report"
