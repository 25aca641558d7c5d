#!/usr/bin/env bash
# Compiles the Windows side of the USB link with the MinGW cross compiler,
# without Qt: the platform layer must build on its own, free of warnings.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cxx=${TOVRA_MINGW_CXX:-i686-w64-mingw32-g++}
flags=(-std=c++17 -Wall -Wextra -Werror -I "$root")

if ! command -v "$cxx" >/dev/null 2>&1; then
    bash "$root/scripts/setup.sh"
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The interface alone, then the implementation.
echo '#include "link/usbdevice.h"' >"$out/interface.cpp"
"$cxx" "${flags[@]}" -c "$out/interface.cpp" -o "$out/interface.o"
"$cxx" "${flags[@]}" -c "$root/link/usbdevice_win.cpp" -o "$out/usbdevice_win.o"
echo "check-windows: link/usbdevice.h and link/usbdevice_win.cpp compile cleanly with $cxx"
