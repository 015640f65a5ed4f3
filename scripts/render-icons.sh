#!/usr/bin/env bash
# Renders the application icon's PNGs from its SVG, one per size a desktop asks for, into the
# hicolor layout: OUT/<size>x<size>/apps/NAME.png. With --sheet, also puts every size side by
# side on one picture, at its real size, to look at as a user would.
#
# Usage: scripts/render-icons.sh SVG OUT NAME [--sheet PICTURE]
# Needs rsvg-convert (librsvg2-bin) and, for the sheet, ImageMagick.
set -euo pipefail

readonly SIZES=(16 22 24 32 48 64 128 256)

if [ $# -ne 3 ] && [ $# -ne 5 ]; then
  echo "usage: $0 SVG OUT NAME [--sheet PICTURE]" >&2
  exit 2
fi
svg=$1 out=$2 name=$3
sheet=''
if [ $# -eq 5 ]; then
  [ "$4" = --sheet ] || { echo "$0: unknown option $4" >&2; exit 2; }
  sheet=$5
fi

pictures=()
for size in "${SIZES[@]}"; do
  mkdir -p "$out/${size}x${size}/apps"
  picture=$out/${size}x${size}/apps/$name.png
  rsvg-convert --width "$size" --height "$size" --output "$picture" "$svg"
  pictures+=("$picture")
done

if [ -n "$sheet" ]; then
  # On a light and on a dark panel, the two a desktop commonly has.
  light=(-background '#e8e8e8' -bordercolor '#e8e8e8')
  dark=(-background '#2a2a2a' -bordercolor '#2a2a2a')
  convert \( "${light[@]}" "${pictures[@]}" -border 8 -gravity south +append \) \
    \( "${dark[@]}" "${pictures[@]}" -border 8 -gravity south +append \) -append "$sheet"
fi
