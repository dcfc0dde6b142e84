.pragma library

// Text stays legible however far the screens are scaled down (the editor
// lays out 1024 wide and scales that to the window; a fader block scales
// again to its space): a font size in an item's own pixels, never drawn
// smaller than MINIMUM pixels of the window.

var MINIMUM = 9

// The scale at which an item is drawn: its own and its ancestors' scales.
// Read in a binding, it follows every one of them.
function drawnScale(item) {
    let scale = 1
    for (let p = item; p !== null && p !== undefined; p = p.parent)
        scale *= p.scale
    return scale
}

// The smallest whole size, in the item's pixels, that is drawn MINIMUM
// high (fonts take whole pixel sizes: a fraction would be cut off).
function floor(item) {
    const scale = drawnScale(item)
    return scale > 0 ? Math.ceil(MINIMUM / scale - 1e-6) : MINIMUM
}

// `base` in the item's pixels, or the floor where that is larger.
function pixels(base, item) { return Math.max(base, floor(item)) }
