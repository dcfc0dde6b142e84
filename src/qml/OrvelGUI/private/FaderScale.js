.pragma library

// The one law by which a fader strip places its cap, its meter's bar and
// its scale: a gain's position from the bottom (0) to the top (1) of the
// strip's range, linear in decibels; and the gains that get a mark. Gains
// in 1/256 dB. The controller driver's normalised value and the meter
// driver's follow the same law over the same range.

var MARK_STEP = 6 * 256
var MINOR_STEP = 3 * 256
var LOWEST_MARK = -48 * 256

function position(gain, bottom, top) {
    const span = top - bottom
    if (!(span > 0))
        return 0
    return Math.min(1, Math.max(0, (gain - bottom) / span))
}

// Labelled gains, top down: every multiple of 6 dB in the range with room
// below it, then the bottom itself, which on a fader is off.
function marks(bottom, top) {
    const result = []
    if (!(top > bottom))
        return result
    for (let g = Math.floor(top / MARK_STEP) * MARK_STEP; g > bottom + MINOR_STEP && g >= LOWEST_MARK; g -= MARK_STEP)
        result.push(g)
    result.push(bottom)
    return result
}

// The unlabelled ticks between the marks (every 3 dB).
function ticks(bottom, top) {
    const result = []
    if (!(top > bottom))
        return result
    for (let g = Math.floor(top / MINOR_STEP) * MINOR_STEP; g > bottom && g >= LOWEST_MARK; g -= MINOR_STEP) {
        if (g % MARK_STEP !== 0)
            result.push(g)
    }
    return result
}

// A controller value of a gain fader (offset form) as a gain.
function gainOfCode(code) { return code - 0x8000 }
