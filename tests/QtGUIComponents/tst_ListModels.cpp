// The generic list models QML binds to: roles from the item class, row
// refreshes on property changes, items that go away, and the variant list.

#include <QtTest>
#include <memory>

#include "QtGUIComponents/Common/QQmlObjectListModel.h"
#include "QtGUIComponents/Common/QQmlVariantListModel.h"

class cListItem : public QObject {
  Q_OBJECT
  Q_PROPERTY(int level READ level WRITE setLevel NOTIFY levelChanged)
  Q_PROPERTY(QString label READ label CONSTANT)

 public:
  explicit cListItem(const QString& label = QString()) : mLabel(label) {}
  int level() const { return mLevel; }
  void setLevel(int level) {
    if (level == mLevel) return;
    mLevel = level;
    emit levelChanged();
  }
  QString label() const { return mLabel; }

 signals:
  void levelChanged();

 private:
  int mLevel = 0;
  QString mLabel;
};

// Its property clashes with the model's own role.
class cClashingItem : public QObject {
  Q_OBJECT
  Q_PROPERTY(int qtObject READ qtObject CONSTANT)

 public:
  int qtObject() const { return 1; }
};

class tst_ListModels : public QObject {
  Q_OBJECT

 private slots:
  void objectModelRolesAndRows() {
    QQmlObjectListModel<cListItem> model;
    QSignalSpy count(&model, &QQmlObjectListModelBase::countChanged);
    cListItem low("low");
    cListItem high("high");
    model.append(&low);
    model.append(&high);
    QCOMPARE(model.count(), 2);
    QCOMPARE(count.count(), 2);

    const QHash<int, QByteArray> roles = model.roleNames();
    QCOMPARE(roles.value(QQmlObjectListModelBase::kObjectRole), QByteArray("qtObject"));
    const int levelRole = roles.key("level", -1);
    const int labelRole = roles.key("label", -1);
    QVERIFY(levelRole > 0 && labelRole > 0 && roles.key("objectName", -1) > 0);
    QCOMPARE(model.data(model.index(1, 0), labelRole).toString(), QString("high"));
    QCOMPARE(model.data(model.index(0, 0), QQmlObjectListModelBase::kObjectRole).value<QObject*>(), &low);
    QCOMPARE(model.get(1), &high);
    QVERIFY(model.get(2) == nullptr);

    QSignalSpy refreshed(&model, &QAbstractItemModel::dataChanged);
    high.setLevel(4);
    QCOMPARE(refreshed.count(), 1);
    QCOMPARE(refreshed.first().at(0).toModelIndex().row(), 1);
    QCOMPARE(model.data(model.index(1, 0), levelRole).toInt(), 4);

    model.removeAt(0);
    low.setLevel(9);  // no longer watched
    QCOMPARE(refreshed.count(), 1);
    QCOMPARE(model.at(0), &high);
  }

  void destroyedItemLeavesTheList() {
    QQmlObjectListModel<cListItem> model;
    auto item = std::make_unique<cListItem>("gone");
    cListItem kept("kept");
    model.append(item.get());
    model.append(&kept);
    item.reset();
    QCOMPARE(model.count(), 1);
    QCOMPARE(model.at(0), &kept);
  }

  void clashingPropertyIsSkipped() {
    QTest::ignoreMessage(QtWarningMsg, "Can't have \"qtObject\" as a role name in cClashingItem");
    QQmlObjectListModel<cClashingItem> model;
    QCOMPARE(model.roleNames().keys(QByteArray("qtObject")).size(), 1);
  }

  void variantModel() {
    QQmlVariantListModel model;
    QSignalSpy count(&model, &QQmlVariantListModel::countChanged);
    model.append(QStringLiteral("12dB Butterworth"));
    model.setValues({QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(model.count(), 2);
    QCOMPARE(count.count(), 2);
    QCOMPARE(model.roleNames().value(QQmlVariantListModel::kVariantRole), QByteArray("qtVariant"));
    QCOMPARE(model.data(model.index(1, 0), QQmlVariantListModel::kVariantRole).toString(), QString("b"));
    QVERIFY(!model.get(5).isValid());
  }
};

QTEST_GUILESS_MAIN(tst_ListModels)
#include "tst_ListModels.moc"
