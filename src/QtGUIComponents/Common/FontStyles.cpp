#include "QtGUIComponents/Common/FontStyles.h"

#include "QtGUIComponents/Common/ProcessInstance.h"

namespace {

const QColor kText(Qt::white);
const QColor kTextOnLight(Qt::black);
const QColor kDisabled(127, 127, 127);
const QColor kHighlight(0, 255, 255);

}  // namespace

// Styles are children of this object, which lives as long as the program.
cFontStyles::cFontStyles(QObject* parent)
    : QObject(parent),
      mDefaultFontFamily(QString::fromLatin1(kDefaultFamily)),
      mTitle(Make(16, true, kText)),
      mSubtitle(Make(14, true, kText)),
      mBody(Make(12, false, kText)),
      mLabel(Make(10, true, kText)),
      mValueWidgetLabel(Make(9, true, kText)),
      mValue(Make(9, true, kText)),
      mTabActive(Make(12, true, kHighlight)),
      mTabInactive(Make(12, true, kText)),
      mMomentaryButtonOff(Make(10, true, kText)),
      mMomentaryButtonOn(Make(10, true, kTextOnLight)),
      mMomentaryButtonDisabled(Make(10, true, kDisabled)),
      mLatchingButtonOff(Make(10, true, kText)),
      mLatchingButtonOn(Make(10, true, kTextOnLight)),
      mLatchingButtonDisabled(Make(10, true, kDisabled)),
      mHighlightWidget(Make(12, true, kHighlight)),
      mListItemNormal(Make(12, false, kText)),
      mListItemTouched(Make(12, false, kHighlight)),
      mListItemSelected(Make(12, true, kHighlight)),
      mKeyboardKey(Make(14, true, kText)),
      mAltKeyboardKey(Make(14, true, kTextOnLight)) {
  cProcessInstance<cFontStyles>::Publish(this, "gFontStyles");
}

cFontStyles::~cFontStyles() { cProcessInstance<cFontStyles>::Withdraw(this); }

cFontStyles* cFontStyles::Instance() { return cProcessInstance<cFontStyles>::Get("gFontStyles is NULL"); }

cTextStyle* cFontStyles::Make(int pointSize, bool bold, const QColor& colour) {
  QFont font(QString::fromLatin1(kDefaultFamily), pointSize, bold ? QFont::Bold : QFont::Normal);
  return new cTextStyle(font, colour, this);
}
