#!/usr/bin/env bash
# Makes the programs' desktop icon, packaging/icons/hicolor/*/apps/
# com.tessmark.OrvelLoader.{svg,png}, from the logo's source
# src/qml/images/OrvelLogo.svg: the logo on a rounded square of the windows'
# background colour (the word mark is white), as a scalable SVG and as PNGs at
# the hicolor sizes. Up to 32 pixels the word mark would be a smudge, so the
# small sizes show the crossover's three bands alone, stretched to fill the
# square. The icons are committed, so building needs neither this script nor
# its renderer (rsvg-convert, Debian's librsvg2-bin); run it again after
# changing the logo.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LOGO="$ROOT/src/qml/images/OrvelLogo.svg"
ICONS="$ROOT/packaging/icons/hicolor"
NAME=com.tessmark.OrvelLoader
BACKGROUND="#1a1a1a" # Styles.colorBG
if ! command -v rsvg-convert > /dev/null; then
  echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
  exit 1
fi
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# $1: output, $2: transform of the logo's 256 x 256 drawing, $3: its content.
write_icon() {
  cat > "$1" << SVG
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <!-- Made by scripts/make_icons.sh from src/qml/images/OrvelLogo.svg. -->
  <rect x="8" y="8" width="240" height="240" rx="36" fill="$BACKGROUND"/>
  <g transform="$2">
$3
  </g>
</svg>
SVG
}

# The logo without its outer element and comments; the bands are the first
# group and the base line under them.
whole="$(sed -e '1d' -e '$d' "$LOGO" | perl -0pe 's/\s*<!--.*?-->//gs')"
bands="$(sed -n '/<g stroke-linejoin/,/<\/g>/p' "$LOGO"; grep 'M16 150 H240' "$LOGO")"
if [ -z "$whole" ] || [ -z "$bands" ]; then
  echo "make_icons.sh: $LOGO does not have the parts this script expects" >&2
  exit 1
fi
# The drawing spans y 70 to 221: centred, with a margin inside the square.
write_icon "$WORK/large.svg" "translate(128 128) scale(0.92) translate(-128 -145.5)" "$whole"
write_icon "$WORK/small.svg" "translate(128 128) scale(0.92 1.8) translate(-128 -110)" "$bands"

mkdir -p "$ICONS/scalable/apps"
cp "$WORK/large.svg" "$ICONS/scalable/apps/$NAME.svg"
for size in 16 22 24 32 48 64 128 256; do
  source="$WORK/large.svg"
  if [ "$size" -le 32 ]; then source="$WORK/small.svg"; fi
  mkdir -p "$ICONS/${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" --format png --output "$ICONS/${size}x${size}/apps/$NAME.png" "$source"
done
echo "Wrote the icons below $ICONS"
