#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "EWNet/Core/Types.h"
#include "QtGUIComponents/Common/QQmlVariantListModel.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotListBoxDriver.h"

// A choice among a fixed list (a filter slope, say) for QML (`QtListBoxBackend`):
// the descriptions a user reads, and the list-box driver that carries the
// byte value of the chosen one to the network. GUI thread; the driver is its
// Qt child.
class cQtListBoxBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
  Q_PROPERTY(QQmlVariantListModel* descriptions READ descriptions CONSTANT)
  Q_PROPERTY(QString currentDescription READ currentDescription NOTIFY currentDescriptionChanged)
  Q_PROPERTY(int value READ value WRITE setValueProperty NOTIFY valueChanged)
  Q_PROPERTY(QStringList descriptionsStringList READ descriptionsStringList CONSTANT)

 public:
  static constexpr UBYTE kReadDivider = 50;

  // One description per value, in list order; the driver's net object takes
  // `netObjectName` (none when empty).
  cQtListBoxBackend(const QString& netObjectName, const QStringList& descriptions, const QList<UBYTE>& values,
                    QObject* parent = nullptr);
  ~cQtListBoxBackend() override;

  int currentIndex() const { return mDriver->currentIndex(); }
  QQmlVariantListModel* descriptions() const { return mDescriptions; }
  // Empty, with a report, while the driver holds a value not in the list.
  QString currentDescription() const;
  int value() const { return mDriver->value(); }
  QStringList descriptionsStringList() const { return mDescriptionList; }
  cQtSignalSlotListBoxDriver* Driver() const { return mDriver; }

 public slots:
  void setCurrentIndex(int Index);
  void setValue(UBYTE Value);
  void driverValueChanged();

 signals:
  void currentIndexChanged(int Index);
  void currentDescriptionChanged(QString Description);
  void valueChanged(UBYTE Value);

 private:
  void setValueProperty(int value);

  QStringList mDescriptionList;
  QQmlVariantListModel* mDescriptions;  // child
  cQtSignalSlotListBoxDriver* mDriver;  // child
};
