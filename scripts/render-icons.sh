#!/usr/bin/env bash
# Renders the SVG icons in resources/icons-src/ to the PNGs the program and the
# desktop entry use. The PNGs are committed, so the build needs no SVG tools;
# run this after editing an SVG and commit both. Needs rsvg-convert
# (librsvg2-bin).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
src="$root/resources/icons-src"
out="$root/resources/images"

command -v rsvg-convert >/dev/null || {
    echo "render-icons: rsvg-convert missing (apt-get install librsvg2-bin)" >&2
    exit 1
}

mkdir -p "$out"
count=0
for svg in "$src"/*.svg; do
    name=$(basename "$svg" .svg)
    rsvg-convert --width 32 --height 32 --format png --output "$out/$name.png" "$svg"
    count=$((count + 1))
done
# The desktop icon: the same drawing at 256 pixels.
rsvg-convert --width 256 --height 256 --format png --output "$out/app-256.png" "$src/app.svg"
echo "render-icons: $count icons and app-256.png in resources/images/"
