#include "QtGUIComponents/Common/ThemeColours.h"

#include "QtGUIComponents/Common/ProcessInstance.h"

cThemeColours::cThemeColours(QObject* parent) : QObject(parent) {
  mGraphLine = {QColor(63, 63, 63), QColor(31, 31, 31)};
  mPeqGraphActive = {QColor(255, 255, 0), QColor(0, 255, 0),   QColor(255, 255, 0), QColor(255, 0, 0),
                     QColor(255, 0, 255), QColor(0, 255, 255), QColor(0, 0, 255),   QColor(255, 0, 0)};
  const QColor grey(127, 127, 127);
  mPeqGraphBypassed = {grey, grey, grey, grey, grey, grey, grey, grey};
  mGrGraphActive = {QColor(255, 255, 255), 2.0, QColor(255, 255, 255), QColor(0, 0, 0)};
  const QColor light(225, 225, 225);
  mGrGraphBypassed = {light, 2.0, light, light};
  cProcessInstance<cThemeColours>::Publish(this, "gThemeColours");
}

cThemeColours::~cThemeColours() { cProcessInstance<cThemeColours>::Withdraw(this); }

cThemeColours* cThemeColours::Instance() { return cProcessInstance<cThemeColours>::Get("gThemeColours is NULL"); }

void cThemeColours::setScaleFactor(double scaleFactor) {
  if (scaleFactor == mScaleFactor) return;
  mScaleFactor = scaleFactor;
  emit scaleFactorChanged();
}
