#!/usr/bin/env bash
# The Ansible module and the example playbook against a simulated fleet of
# three printers on loopback: a first run changes them, a second changes
# nothing, check mode writes nothing, and a printer changed by hand is
# reported and then mended; one static address for all is refused, and a
# printer that does not keep a value fails its task with the error.
#
#   run.sh TOVRA-PRINTER-CTL TOVRA-PRINTER-SIM
# Exits 77 (skipped) without ansible-playbook.
set -euo pipefail

ctl=$(realpath "$1")
sim=$(realpath "$2")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is missing: skipped"; exit 77; }

base=127.0.6
tmp=$(mktemp -d)
sim_pid=
cleanup() {
    [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -f "$tmp/out" ]] && cat "$tmp/out" >&2
    [[ -s "$tmp/sim.err" ]] && cat "$tmp/sim.err" >&2
    exit 1
}

"$sim" --fleet 3 --listen "$base.1" --state "$tmp/state" --log "$tmp/sim.log" --keepalive-ms 0 \
    --fault-ignore serial.parity >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    (($(grep -c "listening on" "$tmp/sim.out") == 3)) && break
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator did not start"
    sleep 0.1
done
(($(grep -c "listening on" "$tmp/sim.out") == 3)) || fail "the simulator did not listen"

cat >"$tmp/inventory.ini" <<EOF
[printers]
printer-1 printer_address=$base.1
printer-2 printer_address=$base.2
printer-3 printer_address=$base.3

[printers:vars]
ansible_connection=local
ansible_python_interpreter={{ ansible_playbook_python }}
EOF
cat >"$tmp/settings.json" <<EOF
{"format": "tovra-printer-settings", "version": 1, "print": {"density": 110}, "serial": {"baud": 9600}}
EOF

export ANSIBLE_LOCAL_TEMP="$tmp/ansible" ANSIBLE_REMOTE_TEMP="$tmp/ansible" ANSIBLE_NOCOLOR=1 \
    ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_DEPRECATION_WARNINGS=0
# The playbook with this file; the remaining arguments go to ansible-playbook.
run_playbook() {
    local file=$1
    shift
    (cd "$tmp" && ansible-playbook -i inventory.ini "$here/shop.yml" \
        -e "{\"printer_ctl\": \"$ctl\", \"settings_file\": \"$file\"}" "$@") >"$tmp/out" 2>&1
}
playbook() { run_playbook "$@" || fail "ansible-playbook $*"; }
# The recap's changed count of each printer, as "1 1 1".
changed() {
    for n in 1 2 3; do
        grep -E "^printer-$n +:" "$tmp/out" | grep -oE 'changed=[0-9]+' | cut -d= -f2
    done | paste -sd' '
}
writes() { grep -c " applied 0x" "$tmp/sim.log" || true; }

playbook "$tmp/settings.json"
[[ $(changed) == "1 1 1" ]] || fail "first run: changed $(changed), expected 1 1 1"
[[ $(writes) == 6 ]] || fail "first run: $(writes) records written, expected 6"

playbook "$tmp/settings.json"
[[ $(changed) == "0 0 0" ]] || fail "second run: changed $(changed), expected 0 0 0"
[[ $(writes) == 6 ]] || fail "second run wrote records"

# Another density would change every printer; check mode only says so.
sed 's/110/120/' "$tmp/settings.json" >"$tmp/denser.json"
playbook "$tmp/denser.json" --check --diff
[[ $(changed) == "1 1 1" ]] || fail "check mode: changed $(changed), expected 1 1 1"
grep -q '+print.density: 120' "$tmp/out" || fail "check mode: no diff of print.density"
[[ $(writes) == 6 ]] || fail "check mode wrote records"

"$ctl" set "$base.2" print.density=90 >/dev/null || fail "tovra-printer-ctl set"
playbook "$tmp/settings.json" --diff
[[ $(changed) == "0 1 0" ]] || fail "after a change by hand: changed $(changed), expected 0 1 0"
grep -q -- '-print.density: 90' "$tmp/out" || fail "the change by hand is not reported"
"$ctl" drift "$tmp/settings.json" "$base.1" "$base.2" "$base.3" >"$tmp/out" 2>&1 || fail "drift after mending"

# A static address without per-printer values would go to every printer.
written=$(writes)
echo '{"format": "tovra-printer-settings", "version": 1, "ethernet": {"static_ip": "10.0.0.5"}}' >"$tmp/static.json"
run_playbook "$tmp/static.json" && fail "one static address for every printer: the play succeeded"
(($(grep -c 'FAILED!.*sets a static address' "$tmp/out") == 3)) || fail "one static address was not refused"
[[ $(writes) == "$written" ]] || fail "one static address was written"

# The simulator ignores the parity: the read-back finds the old one.
echo '{"format": "tovra-printer-settings", "version": 1, "serial": {"parity": 2}}' >"$tmp/parity.json"
run_playbook "$tmp/parity.json" && fail "a value the printers do not keep: the play succeeded"
(($(grep -c 'FAILED!.*read-back mismatch: serial.parity' "$tmp/out") == 3)) || fail "no read-back mismatch reported"

echo "PASS"
