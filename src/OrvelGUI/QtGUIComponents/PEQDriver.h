#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "OrvelGUI/QtGUIComponents/PEQDriverInterface.h"

class cGuiThreadHandoff;
class cPEQNetObject2;

// The graph driver (QML `PEQDriver`): a mirror of every band of one
// equaliser, exchanged with the network as one multi-parameter net object
// (cPEQNetObject2, made and destroyed under the registry lock).
//
// Threads: the QObject side (slots, getters, signals) is the GUI thread's.
// The net object reads the values the graph wrote, and hands over values from
// the network, through the shared copy under mShareLock; what arrives is
// applied on the GUI thread, where the signals are emitted.
class cPEQDriver : public cPEQDriverInterface {
  Q_OBJECT

 public:
  // The values of one band.
  struct sBand {
    GAIN mGain = 0;
    UWORD mFrequency = 0;
    UWORD mWidth = 0;
    UBYTE mType = 0;
    bool mBypassed = false;
    UWORD mFrequencyMin = 0;
    UWORD mFrequencyMax = 0;
  };
  // What the graph sends: per band gain, frequency, width and type, and the
  // band-pass frequency.
  struct sOutgoing {
    std::vector<sBand> mBands;
    UWORD mBandPassFreq = kDefaultBandPassFreq;
  };
  static constexpr UWORD kDefaultBandPassFreq = 26007;  // 200 Hz
  // The band values a graph edits (dragged, pinched), as bandEdited names them.
  enum eBandField : int { FIELD_GAIN = 0, FIELD_FREQUENCY = 1, FIELD_WIDTH = 2 };

  cPEQDriver(const QString& netObjectName, UBYTE numberOfBands, QObject* parent = nullptr);
  ~cPEQDriver() override;

  cPEQNetObject2* NetObject() const { return mNetObject; }
  // Deletes the net object (registry lock); the driver stays usable locally.
  void RemoveFromNetwork();

  // Links band b's graph parameters to parameters (method codes) of a unit:
  // its range to the frequency range, and its bypass, frequency, width, gain
  // and (optional) type both ways, synced from the unit. False, with a
  // report, for a band outside the list or without a net object.
  bool LinkBand(UBYTE band, const char* unitName, UWORD bypassParam, UWORD rangeParam, UWORD frequencyParam,
                UWORD widthParam, UWORD gainParam, std::optional<UWORD> typeParam);
  // Links the fully-bypassed parameter to a unit parameter, synced from it.
  bool LinkFullyBypassed(const char* unitName, UWORD param);

  int BandCount() const override { return int(mBands.size()); }
  GAIN GetBandGain(UBYTE BandIndex) const override;
  UWORD GetBandFreq(UBYTE BandIndex) const override;
  UWORD GetBandWidth(UBYTE BandIndex) const override;
  UBYTE GetBandType(UBYTE BandIndex) const override;
  bool GetBandBypassed(UBYTE BandIndex) const override;
  UWORD GetBandFreqMin(UBYTE BandIndex) const override;
  UWORD GetBandFreqMax(UBYTE BandIndex) const override;
  UWORD GetBandPassFreq() const override { return mBandPassFreq; }
  bool GetBandPass() const override { return mBandPass; }
  bool GetFullyBypassed() const override { return mFullyBypassed; }

  // Sets a band value as the graph does and tells the graph, as a value
  // from the network would: what undoing or redoing a graph edit does.
  // Nothing for a band outside the list or an unknown field.
  void ApplyBandEdit(UBYTE band, eBandField field, int value);

  // The net object's side (dispatch thread).
  sOutgoing ReadOutgoing() const;
  void NetworkGain(UBYTE band, GAIN gain);
  void NetworkFreq(UBYTE band, UWORD frequency);
  void NetworkWidth(UBYTE band, UWORD width);
  void NetworkType(UBYTE band, UBYTE type);
  void NetworkBypass(UBYTE band, bool bypass);
  void NetworkFreqRange(UBYTE band, UWORD minimum, UWORD maximum);
  void NetworkFullyBypassed(bool bypass);
  void NetworkBandPass(bool bandPass);
  void NetworkBandPassFreq(UWORD frequency);

 public slots:
  void WriteBandGain(UBYTE BandIndex, GAIN Gain) override;
  void WriteBandFreq(UBYTE BandIndex, UWORD Freq) override;
  void WriteBandWidthIndex(UBYTE BandIndex, UWORD WidthIndex) override;
  void WriteBandFreqRange(UBYTE BandIndex, UWORD FreqMin, UWORD FreqMax) override;
  void WriteBandEQType(UBYTE BandIndex, UBYTE Type) override;
  void WriteBandBypassed(UBYTE BandIndex, bool Bypass) override;
  void WriteBandPassFreq(UWORD BandPassFreq) override;
  void WriteBandPass(bool BandPass) override;
  void WriteFullyBypassed(bool Bypass) override;

 signals:
  // A band's gain, frequency or width changed by the graph (a drag, a pinch);
  // `from` and `to` as the network carries them (the gain in 1/256 dB).
  void bandEdited(int band, int field, int from, int to);

 private:
  bool Valid(UBYTE band) const { return band < mBands.size(); }
  // A graph edit: stored and shared as WriteShared, then told.
  template <typename tValue>
  void WriteEdited(UBYTE band, eBandField field, tValue sBand::*member, tValue value) {
    if (!Valid(band) || mBands[band].*member == value) return;
    const int from = mBands[band].*member;
    WriteShared(band, member, value);
    emit bandEdited(band, field, from, value);
  }
  // A band field the net object sends: stored here and in the shared copy.
  template <typename tValue>
  void WriteShared(UBYTE band, tValue sBand::*field, tValue value) {
    if (!Valid(band)) return;
    mBands[band].*field = value;
    std::lock_guard<std::mutex> lock(mShareLock);
    mShared.mBands[band].*field = value;
  }
  // Stores a band value from the network in the shared copy and queues it
  // to the GUI side, unless a later write of either side overtakes it.
  template <typename T>
  void NetworkBandValue(UBYTE band, T sBand::*field, T value, void (cPEQDriverInterface::*changed)(uint, T));

  cPEQNetObject2* mNetObject = nullptr;
  // Values from the network on their way to the GUI thread (child).
  cGuiThreadHandoff* mToGui;
  // GUI thread.
  std::vector<sBand> mBands;
  UWORD mBandPassFreq = kDefaultBandPassFreq;
  bool mBandPass = false;
  bool mFullyBypassed = false;
  // The values the net object sends and compares; both threads.
  mutable std::mutex mShareLock;
  sOutgoing mShared;
};
