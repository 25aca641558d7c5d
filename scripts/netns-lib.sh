# shellcheck shell=bash disable=SC2034
# Sourced by run-demo.sh and screenshots.sh. Two private network namespaces,
# "app" and "printer", joined by one veth pair with addresses that exist only
# inside them (10.213.77.1 and .2): the application's discovery multicasts on
# every interface it sees and so must never see a real one. Also the virtual
# X server and the processes started in the namespaces, all stopped by their
# PID and the namespaces removed by lab_cleanup, which the caller traps on EXIT.
# Needs root or sudo.

lab_app_address=10.213.77.1
lab_printer_address=10.213.77.2
lab_ns_app="" lab_ns_printer=""
lab_pids=()
lab_as_root=()
lab_as_user=()

# Root, or sudo that works; otherwise says so and fails.
lab_need_root() { # script name
    if ((EUID == 0)); then
        lab_as_root=()
        lab_as_user=()
        return 0
    fi
    if ! command -v sudo >/dev/null 2>&1 || ! sudo true; then
        echo "$1: network namespaces need root or sudo, and neither is available" >&2
        return 1
    fi
    lab_as_root=(sudo)
    # The programs run as the user again inside the namespaces.
    lab_as_user=(sudo -u "$USER")
}

lab_in_ns() { # namespace command...
    local ns=$1
    shift
    "${lab_as_root[@]}" ip netns exec "$ns" "$@"
}

lab_alive() { [[ -n "$1" ]] && "${lab_as_root[@]}" kill -0 "$1" 2>/dev/null; }

# Stopped by lab_cleanup unless forgotten first (a process already waited for).
lab_track() { lab_pids+=("$1"); }
lab_forget() {
    local pid kept=()
    for pid in "${lab_pids[@]}"; do [[ "$pid" == "$1" ]] || kept+=("$pid"); done
    lab_pids=("${kept[@]}")
}

lab_cleanup() {
    local pid i ns
    # Newest first: the programs before the simulator and the X server.
    for ((i = ${#lab_pids[@]} - 1; i >= 0; --i)); do
        "${lab_as_root[@]}" kill "${lab_pids[i]}" 2>/dev/null || true
    done
    for pid in "${lab_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    lab_pids=()
    for ns in "$lab_ns_app" "$lab_ns_printer"; do
        if [[ -n "$ns" ]]; then "${lab_as_root[@]}" ip netns del "$ns" 2>/dev/null || true; fi
    done
    lab_ns_app="" lab_ns_printer=""
}

lab_create() { # name prefix, e.g. tovra-demo
    local tag=$1 suffix=$$ side ns dev address
    lab_ns_app="$tag-app-$suffix"
    lab_ns_printer="$tag-printer-$suffix"
    # Interface names have at most 15 characters.
    local veth_app="tva$suffix" veth_printer="tvp$suffix"
    "${lab_as_root[@]}" ip netns add "$lab_ns_app"
    "${lab_as_root[@]}" ip netns add "$lab_ns_printer"
    "${lab_as_root[@]}" ip link add "$veth_app" netns "$lab_ns_app" type veth peer name "$veth_printer" \
        netns "$lab_ns_printer"
    for side in "$lab_ns_app $veth_app $lab_app_address" "$lab_ns_printer $veth_printer $lab_printer_address"; do
        read -r ns dev address <<<"$side"
        lab_in_ns "$ns" ip link set lo up
        lab_in_ns "$ns" ip addr add "$address/24" dev "$dev"
        lab_in_ns "$ns" ip link set "$dev" up
        lab_in_ns "$ns" ip route add 224.0.0.0/4 dev "$dev"
    done
}

# The printer simulator in the printer namespace, listening on its address
# (which also has it answer discovery there). Sets lab_sim_pid; fails with its
# output when it does not start.
lab_start_sim() { # output file, simulator, arguments...
    local output=$1 sim=$2
    shift 2
    : >"$output"
    # exec all the way down, so that the PID kept is the simulator's own.
    (exec "${lab_as_root[@]}" ip netns exec "$lab_ns_printer" "$sim" --listen "$lab_printer_address" "$@" \
        >"$output" 2>&1) &
    lab_sim_pid=$!
    lab_track "$lab_sim_pid"
    for _ in $(seq 100); do
        grep -q "listening on" "$output" && return 0
        lab_alive "$lab_sim_pid" || break
        sleep 0.1
    done
    grep -q "listening on" "$output" && return 0
    echo "the printer simulator did not start:" >&2
    cat "$output" >&2
    return 1
}

# A private Xvfb; sets lab_xvfb_pid and exports DISPLAY.
lab_start_xvfb() { # folder for its display file and log
    local displayfile="$1/xvfb.display"
    : >"$displayfile"
    # -displayfd: Xvfb picks a free display number and writes it there.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >"$1/xvfb.log" 2>&1 &
    lab_xvfb_pid=$!
    lab_track "$lab_xvfb_pid"
    for _ in $(seq 100); do
        [[ -s "$displayfile" ]] && break
        lab_alive "$lab_xvfb_pid" || break
        sleep 0.1
    done
    if [[ ! -s "$displayfile" ]]; then
        echo "Xvfb did not start:" >&2
        cat "$1/xvfb.log" >&2
        return 1
    fi
    DISPLAY=":$(tr -d '[:space:]' <"$displayfile")"
    export DISPLAY
}
