#pragma once

#include <QObject>
#include <QString>

#include "QtGUIComponents/Common/TextStyle.h"

// The named text styles of the widget library (`Fonts` of module
// FontStyles), all in the program's font. GUI thread.
class cFontStyles : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString defaultFontFamily MEMBER mDefaultFontFamily CONSTANT)
  Q_PROPERTY(cTextStyle* title MEMBER mTitle CONSTANT)
  Q_PROPERTY(cTextStyle* subtitle MEMBER mSubtitle CONSTANT)
  Q_PROPERTY(cTextStyle* body MEMBER mBody CONSTANT)
  Q_PROPERTY(cTextStyle* label MEMBER mLabel CONSTANT)
  Q_PROPERTY(cTextStyle* valueWidgetLabel MEMBER mValueWidgetLabel CONSTANT)
  Q_PROPERTY(cTextStyle* value MEMBER mValue CONSTANT)
  Q_PROPERTY(cTextStyle* tabActive MEMBER mTabActive CONSTANT)
  Q_PROPERTY(cTextStyle* tabInactive MEMBER mTabInactive CONSTANT)
  Q_PROPERTY(cTextStyle* momentaryButtonOff MEMBER mMomentaryButtonOff CONSTANT)
  Q_PROPERTY(cTextStyle* momentaryButtonOn MEMBER mMomentaryButtonOn CONSTANT)
  Q_PROPERTY(cTextStyle* momentaryButtonDisabled MEMBER mMomentaryButtonDisabled CONSTANT)
  Q_PROPERTY(cTextStyle* latchingButtonOff MEMBER mLatchingButtonOff CONSTANT)
  Q_PROPERTY(cTextStyle* latchingButtonOn MEMBER mLatchingButtonOn CONSTANT)
  Q_PROPERTY(cTextStyle* latchingButtonDisabled MEMBER mLatchingButtonDisabled CONSTANT)
  Q_PROPERTY(cTextStyle* highlightWidget MEMBER mHighlightWidget CONSTANT)
  Q_PROPERTY(cTextStyle* listItemNormal MEMBER mListItemNormal CONSTANT)
  Q_PROPERTY(cTextStyle* listItemTouched MEMBER mListItemTouched CONSTANT)
  Q_PROPERTY(cTextStyle* listItemSelected MEMBER mListItemSelected CONSTANT)
  Q_PROPERTY(cTextStyle* keyboardKey MEMBER mKeyboardKey CONSTANT)
  Q_PROPERTY(cTextStyle* altKeyboardKey MEMBER mAltKeyboardKey CONSTANT)

 public:
  static constexpr const char* kDefaultFamily = "Spartan";

  explicit cFontStyles(QObject* parent = nullptr);
  ~cFontStyles() override;
  cFontStyles(const cFontStyles&) = delete;
  cFontStyles& operator=(const cFontStyles&) = delete;

  // The application's instance; null, with a report, before it exists.
  static cFontStyles* Instance();

 private:
  cTextStyle* Make(int pointSize, bool bold, const QColor& colour);

  QString mDefaultFontFamily;
  cTextStyle* mTitle;
  cTextStyle* mSubtitle;
  cTextStyle* mBody;
  cTextStyle* mLabel;
  cTextStyle* mValueWidgetLabel;
  cTextStyle* mValue;
  cTextStyle* mTabActive;
  cTextStyle* mTabInactive;
  cTextStyle* mMomentaryButtonOff;
  cTextStyle* mMomentaryButtonOn;
  cTextStyle* mMomentaryButtonDisabled;
  cTextStyle* mLatchingButtonOff;
  cTextStyle* mLatchingButtonOn;
  cTextStyle* mLatchingButtonDisabled;
  cTextStyle* mHighlightWidget;
  cTextStyle* mListItemNormal;
  cTextStyle* mListItemTouched;
  cTextStyle* mListItemSelected;
  cTextStyle* mKeyboardKey;
  cTextStyle* mAltKeyboardKey;
};
