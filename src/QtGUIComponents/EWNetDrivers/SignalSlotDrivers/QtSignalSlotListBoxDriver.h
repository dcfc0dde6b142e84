#pragma once

#include <QList>
#include <map>

#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSwitchDriverCore.h"

// One of a fixed list of byte values, chosen by list index (a slope list,
// say). The list is fixed at construction, so every thread may read it.
// Threads as cQtSwitchDriverCore; ApplyDelta runs on the dispatch thread.
class cQtSignalSlotListBoxDriver : public cQtSwitchDriverCore {
  Q_OBJECT
  Q_PROPERTY(QString netObjectName READ netObjectName WRITE setNetObjectName NOTIFY netObjectNameChanged)
  Q_PROPERTY(int currentIndex READ currentIndex WRITE SetCurrentIndex NOTIFY CurrentIndexChanged)
  Q_PROPERTY(int Value READ value WRITE setValueProperty NOTIFY ValueChanged)

 public:
  explicit cQtSignalSlotListBoxDriver(QObject* parent = nullptr, const QString& netObjectName = QString(),
                                      const QList<UBYTE>& values = {}, UBYTE readDivider = 50);
  ~cQtSignalSlotListBoxDriver() override;

  // The index whose value is the current one; -1 when the value is not in
  // the list.
  int currentIndex() const { return IndexOf(mValue); }
  int value() const { return mValue; }
  int count() const { return int(mList.size()); }
  void setNetObjectName(const QString& name);

  // Steps through the list from the network: a fine position in 1/256 of an
  // index step moves by steps x step size (dispatch thread).
  void ApplyDelta(int16_t steps) override;
  void WriteValue(UBYTE value) override;

 public slots:
  // The value at Index (0 for an index not in the list).
  void SetCurrentIndex(int Index);
  // A value not in the list is ignored.
  void SetValue(UBYTE arg);

 signals:
  void ValueChanged(int Value);
  void CurrentIndexChanged();
  // A value (the byte, not the index) set on this side (the screen), not
  // from the network: what an edit history records. After the change signals.
  void valueEdited(int from, int to);

 protected:
  void ApplyNetworkValue(UBYTE value) override;

 private:
  void setValueProperty(int value);
  int IndexOf(UBYTE value) const;
  void SelectIndex(int index);

  std::map<int, UBYTE> mList;  // fixed after construction
  UBYTE mValue = 0;            // GUI thread
  // Shared by the GUI (index choices) and the dispatch thread (deltas).
  std::atomic<int> mFinePosition{0};
};
