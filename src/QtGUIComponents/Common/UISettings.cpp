#include "QtGUIComponents/Common/UISettings.h"

#include "QtGUIComponents/Common/ProcessInstance.h"

cUISettings::cUISettings(QObject* parent) : QObject(parent) {
  cProcessInstance<cUISettings>::Publish(this, "gUISettings");
}

cUISettings::~cUISettings() { cProcessInstance<cUISettings>::Withdraw(this); }

cUISettings* cUISettings::Instance() { return cProcessInstance<cUISettings>::Get("gUISettings is NULL"); }

void cUISettings::setEnableDisplayAsConnected(bool enable) {
  if (enable == mEnableDisplayAsConnected) return;
  mEnableDisplayAsConnected = enable;
  emit enableDisplayAsConnectedChanged();
}

void cUISettings::setListboxBackGroundColour(const QColor& colour) {
  if (colour == mListboxBackGroundColour) return;
  mListboxBackGroundColour = colour;
  emit listboxBackGroundColourChanged();
}
