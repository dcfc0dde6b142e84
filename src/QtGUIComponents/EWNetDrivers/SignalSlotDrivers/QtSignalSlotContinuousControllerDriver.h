#pragma once

#include <QObject>
#include <QString>
#include <atomic>

#include "EWNet/Core/ContCntrWithDeltaDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/ControllerDelta.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/DriverThreads.h"

// A 16-bit controller value with a range (fader, frequency, width, gain,
// delay) for QML, as a raw network value and as a position 0..1.
//
// Threads: the QObject side is the GUI thread's and keeps its own copy of the
// range. The net object's callbacks (ReadValue, WriteValue, SetRange,
// ApplyDelta; dispatch thread, registry lock) use the driver base's range and
// the shared value, and queue everything QML sees.
class cQtSignalSlotContinuousControllerDriver : public QObject, public cContinuousControllerWithDeltaDriver {
  Q_OBJECT
  Q_PROPERTY(QString netObjectName READ netObjectName WRITE setNetObjectName NOTIFY NetObjectNameChanged)
  Q_PROPERTY(float value READ value WRITE SetValue NOTIFY ValuePropertyChanged)
  Q_PROPERTY(int network_value READ networkValue WRITE SetNetworkValue NOTIFY ValuePropertyChanged)
  Q_PROPERTY(int networkValue READ networkValue WRITE SetNetworkValue NOTIFY ValuePropertyChanged)
  Q_PROPERTY(int range READ range NOTIFY rangeChanged)
  Q_PROPERTY(int min READ min NOTIFY rangeChanged)
  Q_PROPERTY(int max READ max NOTIFY rangeChanged)
  // The minimum stands for "off" (minus infinity on a gain fader).
  Q_PROPERTY(bool levelType READ levelType NOTIFY rangeChanged)

 public:
  explicit cQtSignalSlotContinuousControllerDriver(const QString& netObjectName = QString(), UWORD minimum = 0,
                                                   UWORD maximum = 0xFFFF, bool levelType = false,
                                                   UBYTE readDivider = 50, QObject* parent = nullptr);
  ~cQtSignalSlotContinuousControllerDriver() override;

  QString netObjectName() const;
  void setNetObjectName(const QString& name);

  float value() const { return NormalisedOf(mValue); }
  int networkValue() const { return mValue; }
  int range() const { return mGuiMaximum >= mGuiMinimum ? mGuiMaximum - mGuiMinimum : 0; }
  int min() const { return mGuiMinimum; }
  int max() const { return mGuiMaximum; }
  bool levelType() const { return mGuiLevelType; }

  // Refused (with a report) when Min is above Max.
  Q_INVOKABLE void setRange(UWORD Min, UWORD Max, bool LevelType);
  Q_INVOKABLE void setValue(float value) { SetValue(value); }
  Q_INVOKABLE float valueFromNetworkValue(int NetworkValue) const { return NormalisedOf(NetworkValue); }

  // Delta behaviour for small and medium ranges; both off unless set here.
  void SetDeltaOptions(const sControllerDeltaOptions& options);

  // Passed on only when there is a net object; false otherwise.
  bool LinkSourceToRange(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove) override;
  bool LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove,
                         bool bidirectional) override;
  bool LinkRangeToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove) override;
  bool LinkValueToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove,
                              bool bidirectional) override;

  // The net object's callbacks (dispatch thread).
  UBYTE ReadTouched() override;
  UWORD ReadValue() override;
  void WriteValue(UWORD value) override;
  void SetRange(UWORD minimum, UWORD maximum, bool levelType) override;
  int16_t ReadDelta() override { return 0; }
  void ApplyDelta(int16_t steps) override;

 public slots:
  void SetNetworkValue(int Value);
  void setNetworkValue(int Value) { SetNetworkValue(Value); }
  // NaN is ignored.
  void SetValue(float Value);
  void requstDisplayAsConnectedToExternalControl() {}
  void requstDisplayAsDisconnectedFromExternalControl() {}

 signals:
  void ControllerValueRead(int Value);
  void ValueChanged(int Value);
  void ValueChanged(float Value);
  void ValuePropertyChanged();
  void NetObjectNameChanged();
  void rangeChanged();
  // A value set on this side (the screen), not from the network: what an
  // edit history records. After the change signals.
  void valueEdited(int from, int to);

 private:
  float NormalisedOf(int value) const;
  void StoreAndSignal(UWORD value);
  void ApplyNetworkValue(UWORD value);
  void HandNetworkValueToGui(UWORD value);
  void ApplyRange(UWORD minimum, UWORD maximum, bool levelType);

  // Values from the network on their way to the GUI thread (child).
  cGuiThreadHandoff* mToGui;
  // GUI thread.
  UWORD mValue;
  int mGuiMinimum;
  int mGuiMaximum;
  bool mGuiLevelType;
  // The value the network reads; both threads.
  std::atomic<UWORD> mShared;
  // Dispatch thread (registry lock).
  cReadDivider mReadDivider;
  // The controller takes its first tick's value as the one the network
  // already has and sends nothing; a change made on screen before then must
  // not vanish, so until that tick (the only caller of ReadTouched) reads
  // see what the network last gave.
  bool mTicked = false;
  UWORD mNetworkValue;
  std::int16_t mDeltaRemainder = 0;
  sControllerDeltaOptions mDeltaOptions;
};
