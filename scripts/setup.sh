#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/debian-packages.txt that are
# not installed yet. Quiet and idempotent: with nothing missing it does nothing.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
list="$here/debian-packages.txt"

mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$list")

missing=()
for name in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$name" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$name")
done

((${#missing[@]} == 0)) && exit 0

if ((EUID == 0)); then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "setup: missing packages (${missing[*]}) and neither root nor sudo" >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
# apt's chatter is kept out of sight unless something fails.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
apt() {
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -o Dpkg::Use-Pty=0 "$@" </dev/null >>"$output" 2>&1 || {
        cat "$output" >&2
        echo "setup: apt-get $1 failed" >&2
        exit 1
    }
}
apt update
apt install -y --no-install-recommends "${missing[@]}"
