#!/usr/bin/env python3
"""Makes the program's Spartan-Bold.ttf from League Spartan Bold.

Debian's fonts-league-spartan ships the face as OpenType with cubic (CFF)
outlines. The program carries it as a TrueType font of the family "Spartan":
the outlines are converted to quadratic curves and the naming is replaced, so
the face neither claims the upstream name nor clashes with an installed copy.
The result is the same for the same input (no time stamps are refreshed).

Usage: make_spartan_font.py INPUT.otf OUTPUT.ttf
"""

import sys

from fontTools.pens.cu2quPen import Cu2QuPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable

FAMILY = "Spartan"
STYLE = "Bold"
# Largest distance, in font units, between a cubic curve and its quadratic
# replacement; a unit or so is invisible at any screen size.
MAX_ERROR = 1.0


def convert_outlines(font):
    glyph_set = font.getGlyphSet()
    glyphs = {}
    for name in font.getGlyphOrder():
        pen = TTGlyphPen(glyph_set)
        glyph_set[name].draw(Cu2QuPen(pen, MAX_ERROR, reverse_direction=True))
        glyphs[name] = pen.glyph()

    glyf = newTable("glyf")
    glyf.glyphOrder = font.getGlyphOrder()
    glyf.glyphs = glyphs
    font["glyf"] = glyf
    font["loca"] = newTable("loca")
    del font["CFF "]
    if "VORG" in font:
        del font["VORG"]

    maxp = font["maxp"]
    maxp.tableVersion = 0x00010000
    for field in ("maxZones", "maxTwilightPoints", "maxStorage", "maxFunctionDefs", "maxInstructionDefs",
                  "maxStackElements", "maxSizeOfInstructions", "maxComponentElements"):
        setattr(maxp, field, 0)
    maxp.maxZones = 1
    maxp.maxComponentDepth = 0

    post = font["post"]
    post.formatType = 2.0
    post.extraNames = []
    post.mapping = {}
    post.glyphOrder = font.getGlyphOrder()
    font["head"].glyphDataFormat = 0
    font.sfntVersion = "\x00\x01\x00\x00"


def rename(font):
    name = font["name"]
    version = name.getDebugName(5) or "Version 2.002"
    texts = {
        1: FAMILY,
        2: STYLE,
        3: f"{version.replace('Version ', '')};{FAMILY}-{STYLE}",
        4: f"{FAMILY} {STYLE}",
        6: f"{FAMILY}-{STYLE}",
    }
    # Typographic family names would bring the upstream name back.
    name.names = [record for record in name.names if record.nameID not in (16, 17, 21, 22)]
    for record in name.names:
        if record.nameID in texts:
            record.string = texts[record.nameID]
    name.setName(
        "Converted to TrueType outlines and renamed from League Spartan Bold "
        "(The League of Moveable Type), SIL Open Font License 1.1.", 10, 3, 1, 0x409)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    font = TTFont(sys.argv[1], recalcTimestamp=False)
    convert_outlines(font)
    rename(font)
    font.save(sys.argv[2])


if __name__ == "__main__":
    main()
