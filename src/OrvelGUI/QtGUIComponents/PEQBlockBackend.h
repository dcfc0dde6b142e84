#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "OrvelGUI/QtGUIComponents/PEQBandDrivers.h"
#include "OrvelGUI/QtGUIComponents/PEQDriver.h"
#include "QtGUIComponents/Common/QQmlObjectListModel.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"

// One parametric equaliser on screen (QML `PEQBlockBackend`): the graph
// driver, the drivers of every band, and the block's bypass switch. A panel
// backend makes it with a name prefix and a band count, then links it to its
// equaliser unit with LinkToEQUnit. GUI thread; everything it makes is its
// Qt child and leaves the network when it is destroyed.
class cPEQBlockBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(cPEQDriver* peqDriver READ peqDriver CONSTANT)
  Q_PROPERTY(QQmlObjectListModel<cPEQBandDrivers>* bands READ bands CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* bypassDriver READ bypassDriver CONSTANT)

 public:
  enum eNumOfBands { TWO = 0, FOUR = 1, SIX = 2 };
  Q_ENUM(eNumOfBands)
  enum eBandPos { LF = 0, LM1 = 1, LM2 = 2, HM1 = 3, HM2 = 4, HF = 5, LPF = 6, HPF = 7 };
  Q_ENUM(eBandPos)

  cPEQBlockBackend(const QString& prefix, int numberOfBands, QObject* parent = nullptr);
  ~cPEQBlockBackend() override;

  // Null when the band count was not one of eNumOfBands.
  cPEQDriver* peqDriver() const { return mPeqDriver; }
  QQmlObjectListModel<cPEQBandDrivers>* bands() const { return mBands; }
  cQtBooleanSwitchDriver* bypassDriver() const { return mBypass; }

  // Links the drivers of one band to parameters (method codes) of a unit:
  // the range and the value of the frequency driver, then width, gain, band
  // type and bypass; an absent number makes no link. False for a band
  // outside the list (reported) or when nothing could be queued.
  bool LinkBandDriver(UBYTE band, const char* unitName, std::optional<UWORD> rangeParam, UWORD frequencyParam,
                      std::optional<UWORD> widthParam, std::optional<UWORD> gainParam, std::optional<UWORD> typeParam,
                      UWORD bypassParam);
  // Everything to a parametric EQ unit (its parameters: 4096 bypass, 4097
  // first band's type, 4098 last band's type, 4099 + 5b band b's range,
  // frequency, width, gain, bypass): bands first, last, then the middle
  // ones, each with the graph driver too, then the block bypass and the
  // graph's full bypass. Links are made both ways, synced from the unit.
  bool LinkToEQUnit(const char* unitName);
  // Deletes every net object of the block under the registry lock.
  void RemoveFromNetwork();

 private:
  cPEQDriver* mPeqDriver = nullptr;
  QQmlObjectListModel<cPEQBandDrivers>* mBands;
  cQtBooleanSwitchDriver* mBypass;
};
