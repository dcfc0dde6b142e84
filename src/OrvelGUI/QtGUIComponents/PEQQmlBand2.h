#pragma once

#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBandBase2.h"

// A bell, shelf, contour, notch or pass band of the graph (QML `PEQQmlBand`).
class cPEQQmlBand2 : public cPEQQmlBandBase2 {
  Q_OBJECT
  Q_PROPERTY(nPEQ::eParametricEQType type READ type WRITE setType NOTIFY typeChanged)

 public:
  explicit cPEQQmlBand2(QObject* parent = nullptr);
  ~cPEQQmlBand2() override;

  nPEQ::eParametricEQType type() const { return mType; }
  bool HasGain() const override { return peqgraph::TypeHasGain(mType); }
  bool HasWidth() const override { return peqgraph::TypeHasWidth(mType); }
  // From the driver: the new type is drawn coarsely at once.
  void SetTypeFromDriver(UBYTE type) override;

 public slots:
  // From QML: the curve follows through the graph's timer.
  void setType(nPEQ::eParametricEQType type);

 signals:
  void typeChanged(nPEQ::eParametricEQType type);

 protected:
  peqgraph::sResponse Response() const override;
  peqgraph::sQuantisedBand QuantisedResponse() const override;

 private:
  nPEQ::eParametricEQType mType = nPEQ::BELL;
};
