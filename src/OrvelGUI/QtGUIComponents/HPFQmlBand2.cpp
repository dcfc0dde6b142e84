#include "OrvelGUI/QtGUIComponents/HPFQmlBand2.h"

cHPFQmlBand2::cHPFQmlBand2(QObject* parent) : cPEQQmlBandBase2(parent) {}

cHPFQmlBand2::~cHPFQmlBand2() = default;

void cHPFQmlBand2::SetTypeFromDriver(UBYTE type) { setHighPassType(nPEQ::eHighPassType(type)); }

void cHPFQmlBand2::setHighPassType(nPEQ::eHighPassType type) {
  if (type == mHighPassType) return;
  mHighPassType = type;
  RequestRecalculation();
  emit highPassTypeChanged(type);
}

void cHPFQmlBand2::setDragPos(int XPos, int YPos) {
  (void)YPos;
  if (!DragFrequencyTo(XPos)) return;
  Calculate(true);
  emit graphDragPointChanged();
}

peqgraph::sResponse cHPFQmlBand2::Response() const { return peqgraph::HighPassResponse(mHighPassType, mFrequency); }

peqgraph::sQuantisedBand cHPFQmlBand2::QuantisedResponse() const {
  return peqgraph::QuantisedHighPassBand(mHighPassType, mFrequency);
}
