#pragma once

#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBandBase2.h"

// The high-pass band of the graph (QML `HPFQmlBand`): it moves in frequency
// only and is always drawn at full resolution.
class cHPFQmlBand2 : public cPEQQmlBandBase2 {
  Q_OBJECT
  Q_PROPERTY(nPEQ::eHighPassType highPassType READ highPassType WRITE setHighPassType NOTIFY highPassTypeChanged)

 public:
  explicit cHPFQmlBand2(QObject* parent = nullptr);
  ~cHPFQmlBand2() override;

  nPEQ::eHighPassType highPassType() const { return mHighPassType; }
  bool HasGain() const override { return false; }
  bool HasWidth() const override { return false; }
  // From the driver: the slope; the curve follows through the graph's timer.
  void SetTypeFromDriver(UBYTE type) override;

  Q_INVOKABLE void setDragPos(int XPos, int YPos) override;

 public slots:
  void setHighPassType(nPEQ::eHighPassType type);

 signals:
  void highPassTypeChanged(nPEQ::eHighPassType type);

 protected:
  peqgraph::sResponse Response() const override;
  peqgraph::sQuantisedBand QuantisedResponse() const override;
  bool AlwaysFull() const override { return true; }

 private:
  nPEQ::eHighPassType mHighPassType = nPEQ::HPF_BUTTERWORTH_12_DB;
};
