#include "OrvelGUI/QtGUIComponents/QtListBoxBackend.h"

#include "EWNet/Core/ErrLog.h"

cQtListBoxBackend::cQtListBoxBackend(const QString& netObjectName, const QStringList& descriptions,
                                     const QList<UBYTE>& values, QObject* parent)
    : QObject(parent),
      mDescriptionList(descriptions),
      mDescriptions(new QQmlVariantListModel(this)),
      mDriver(new cQtSignalSlotListBoxDriver(this, netObjectName, values, kReadDivider)) {
  if (descriptions.size() != values.size()) {
    EW_REPORT_ERROR("List box with %d descriptions for %d values", int(descriptions.size()), int(values.size()));
  }
  QVariantList variants;
  for (const QString& description : descriptions) variants << description;
  mDescriptions->setValues(variants);
  connect(mDriver, &cQtSignalSlotListBoxDriver::ValueChanged, this, &cQtListBoxBackend::driverValueChanged);
  connect(mDriver, &cQtSignalSlotListBoxDriver::CurrentIndexChanged, this, &cQtListBoxBackend::driverValueChanged);
}

cQtListBoxBackend::~cQtListBoxBackend() = default;

QString cQtListBoxBackend::currentDescription() const {
  const int index = mDriver->currentIndex();
  if (index < 0 || index >= mDescriptionList.size()) {
    EW_REPORT_NOTIFICATION("List box index out of range");
    return QString();
  }
  return mDescriptionList[index];
}

void cQtListBoxBackend::setCurrentIndex(int Index) { mDriver->SetCurrentIndex(Index); }

void cQtListBoxBackend::setValue(UBYTE Value) { mDriver->SetValue(Value); }

// Values beyond a byte are not in any list.
void cQtListBoxBackend::setValueProperty(int value) {
  if (value >= 0 && value <= 0xFF) setValue(UBYTE(value));
}

void cQtListBoxBackend::driverValueChanged() {
  emit currentIndexChanged(mDriver->currentIndex());
  emit currentDescriptionChanged(currentDescription());
  emit valueChanged(UBYTE(mDriver->value()));
}
