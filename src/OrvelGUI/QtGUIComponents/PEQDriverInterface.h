#pragma once

#include <QObject>

#include "EWNet/Core/Types.h"

// What the equaliser graph needs of a graph driver (QML
// `PEQDriverInterface`): every band's values, their changes, and slots that
// take the graph's own changes. Band indexes outside the driver's bands are
// ignored by the slots and read as 0 by the getters. GUI thread.
class cPEQDriverInterface : public QObject {
  Q_OBJECT

 public:
  explicit cPEQDriverInterface(QObject* parent = nullptr) : QObject(parent) {}
  ~cPEQDriverInterface() override = default;

  virtual int BandCount() const = 0;
  virtual GAIN GetBandGain(UBYTE BandIndex) const = 0;
  virtual UWORD GetBandFreq(UBYTE BandIndex) const = 0;
  virtual UWORD GetBandWidth(UBYTE BandIndex) const = 0;
  virtual UBYTE GetBandType(UBYTE BandIndex) const = 0;
  virtual bool GetBandBypassed(UBYTE BandIndex) const = 0;
  virtual UWORD GetBandFreqMin(UBYTE BandIndex) const = 0;
  virtual UWORD GetBandFreqMax(UBYTE BandIndex) const = 0;
  virtual UWORD GetBandPassFreq() const = 0;
  virtual bool GetBandPass() const = 0;
  virtual bool GetFullyBypassed() const = 0;

 public slots:
  virtual void WriteBandGain(UBYTE BandIndex, GAIN Gain) = 0;
  virtual void WriteBandFreq(UBYTE BandIndex, UWORD Freq) = 0;
  virtual void WriteBandWidthIndex(UBYTE BandIndex, UWORD WidthIndex) = 0;
  virtual void WriteBandFreqRange(UBYTE BandIndex, UWORD FreqMin, UWORD FreqMax) = 0;
  virtual void WriteBandEQType(UBYTE BandIndex, UBYTE Type) = 0;
  virtual void WriteBandBypassed(UBYTE BandIndex, bool Bypass) = 0;
  virtual void WriteBandPassFreq(UWORD BandPassFreq) = 0;
  virtual void WriteBandPass(bool BandPass) = 0;
  virtual void WriteFullyBypassed(bool Bypass) = 0;

 signals:
  void GainChanged(uint BandIndex, GAIN Gain);
  void FreqChanged(uint BandIndex, UWORD Freq);
  void WidthChanged(uint BandIndex, UWORD Width);
  void TypeChanged(uint BandIndex, UBYTE Type);
  void FreqRangeChanged(uint BandIndex, UWORD FreqMin, UWORD FreqMax);
  void BypassChanged(uint BandIndex, bool Bypass);
  void FullyBypassedChanged(bool Bypass);
  void BandPassChanged(bool BandPass);
  void BandPassFreqChanged(UWORD BandPassFreq);
};
