import QtQuick 2.15
import EWQml 2.0
import Orvel 1.0
import "../../Gains.js" as Gains

// Hands a graph the output its equaliser plays in: the panel's high-pass
// and low-pass and the output strip's gain and mute, for the whole output's
// response.
Item {
    id: chain

    property PEQQmlBackEnd graph: null
    property LowMidHighBackend panel: null
    property FaderControlStripBackend strip: null
    readonly property bool ready: graph !== null && panel !== null && strip !== null

    visible: false

    Binding { target: chain.graph; when: chain.ready; property: "outputHighPassFrequency"; value: chain.panel.valueLF.networkValue }
    Binding { target: chain.graph; when: chain.ready; property: "outputHighPassSlope"; value: chain.panel.slopeLF.value }
    Binding { target: chain.graph; when: chain.ready; property: "outputHighPassOn"; value: !chain.panel.bypassDriverLF.value }
    Binding { target: chain.graph; when: chain.ready; property: "outputHighPassSections"; value: chain.panel.highPassSections }
    Binding { target: chain.graph; when: chain.ready; property: "outputLowPassFrequency"; value: chain.panel.valueHF.networkValue }
    Binding { target: chain.graph; when: chain.ready; property: "outputLowPassSlope"; value: chain.panel.slopeHF.value }
    Binding { target: chain.graph; when: chain.ready; property: "outputLowPassOn"; value: !chain.panel.bypassDriverHF.value }
    Binding { target: chain.graph; when: chain.ready; property: "outputLowPassSections"; value: chain.panel.lowPassSections }
    Binding { target: chain.graph; when: chain.ready; property: "outputGain"; value: Gains.uwordToGain(chain.strip.faderDriver.networkValue) }
    Binding { target: chain.graph; when: chain.ready; property: "outputMuted"; value: chain.strip.mute.value }
}
