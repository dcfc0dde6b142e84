#!/usr/bin/env bash
# Renders the loader's logo, src/qml/images/OrvelLogo.png (256 x 256), from its
# source OrvelLogo.svg beside it. The PNG is committed, so building needs
# neither this script nor its renderer (rsvg-convert, Debian's librsvg2-bin);
# run it again after changing the SVG.
set -euo pipefail
IMAGES="$(cd "$(dirname "${BASH_SOURCE[0]}")/../src/qml/images" && pwd)"
if ! command -v rsvg-convert > /dev/null; then
  echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
  exit 1
fi
rsvg-convert --width 256 --height 256 --keep-aspect-ratio --format png \
  --output "$IMAGES/OrvelLogo.png" "$IMAGES/OrvelLogo.svg"
echo "Wrote $IMAGES/OrvelLogo.png"
