.pragma library

// Equaliser bands by position (LF, LM1, LM2, HM1, HM2, HF): their names,
// colours and value backgrounds, and which positions a block of 2, 4 or 6
// bands shows.

var names = ["LF", "LM1", "LM2", "HM1", "HM2", "HF"]
var colours = ["#ff00ff", "#a700fe", "#116c56", "#0084ff", "#9f2424", "#ff7200"]
var backgrounds = ["qrc:/ValueBGPink.svg", "qrc:/ValueBGPurple.svg", "qrc:/ValueBGGreen.svg",
                   "qrc:/ValueBGBlue.svg", "qrc:/ValueBGRed.svg", "qrc:/ValueBGOrange.svg"]

function positions(bandCount) {
    if (bandCount === 2)
        return [0, 5]
    if (bandCount === 4)
        return [0, 2, 3, 5]
    return [0, 1, 2, 3, 4, 5]
}

function colour(bandCount, index) { return colours[positions(bandCount)[index]] }
function background(bandCount, index) { return backgrounds[positions(bandCount)[index]] }
function name(bandCount, index) { return names[positions(bandCount)[index]] }
