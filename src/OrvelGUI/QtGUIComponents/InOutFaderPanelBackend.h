#pragma once

#include <QObject>
#include <array>

#include "OrvelGUI/QtGUIComponents/FaderControlStripBackend.h"

// The fader panel (QML `InOutFaderBackend`): the eight strips of the
// processor, each "InOutFader:<strip> Fader Control Strip", linked to the
// control strip units and their meters. GUI thread; the strips are its Qt
// children.
class cInOutFaderPanelBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(cFaderControlStripBackend* inputL READ inputL CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* lowL READ lowL CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* midL READ midL CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* highL READ highL CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* inputR READ inputR CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* lowR READ lowR CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* midR READ midR CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* highR READ highR CONSTANT)

 public:
  // In property order: inputL, lowL, midL, highL, inputR, lowR, midR, highR.
  static constexpr int kStripCount = 8;

  explicit cInOutFaderPanelBackend(QObject* parent = nullptr);
  ~cInOutFaderPanelBackend() override;

  cFaderControlStripBackend* inputL() const { return mStrips[0]; }
  cFaderControlStripBackend* lowL() const { return mStrips[1]; }
  cFaderControlStripBackend* midL() const { return mStrips[2]; }
  cFaderControlStripBackend* highL() const { return mStrips[3]; }
  cFaderControlStripBackend* inputR() const { return mStrips[4]; }
  cFaderControlStripBackend* lowR() const { return mStrips[5]; }
  cFaderControlStripBackend* midR() const { return mStrips[6]; }
  cFaderControlStripBackend* highR() const { return mStrips[7]; }
  cFaderControlStripBackend* Strip(int index) const;

  // The unit and meter level each strip shows.
  static QByteArray UnitName(int index);
  static UWORD MeterParameter(int index);

  // Every strip to its unit and meter. False when a link could not be queued.
  bool LinkToUnits();
  // Deletes every driver's net object under the registry lock.
  void RemoveFromNetwork();

 private:
  std::array<cFaderControlStripBackend*, kStripCount> mStrips{};  // children
};
