import EWQml 2.0
import "Bands.js" as Bands

// A band of a block's graph, coloured by its place among the block's bands.
PEQQmlBand {
    property int bandCount: 6
    property int index: 0

    bandColour: Bands.colour(bandCount, index)
}
