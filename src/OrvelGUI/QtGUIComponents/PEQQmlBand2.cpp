#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"

cPEQQmlBand2::cPEQQmlBand2(QObject* parent) : cPEQQmlBandBase2(parent) {}

cPEQQmlBand2::~cPEQQmlBand2() = default;

void cPEQQmlBand2::SetTypeFromDriver(UBYTE type) {
  const auto next = nPEQ::eParametricEQType(type);
  const bool changed = next != mType;
  mType = next;
  Calculate(false);
  // QML's bindings on `type` follow the driver too.
  if (changed) emit typeChanged(next);
}

void cPEQQmlBand2::setType(nPEQ::eParametricEQType type) {
  if (type == mType) return;
  mType = type;
  RequestRecalculation();
  emit typeChanged(type);
  emit graphDragPointChanged();
}

peqgraph::sResponse cPEQQmlBand2::Response() const { return peqgraph::BandResponse(mType, mFrequency, mWidth, mGain); }

peqgraph::sQuantisedBand cPEQQmlBand2::QuantisedResponse() const {
  return peqgraph::QuantisedEQBand(mType, mFrequency, mWidth, mGain);
}
