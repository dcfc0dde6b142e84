#include "QtGUIComponents/Common/TextStyle.h"

cTextStyle::cTextStyle(const QFont& font, const QColor& colour, QObject* parent)
    : QObject(parent), mFont(font), mColour(colour) {}

void cTextStyle::setFont(const QFont& font) {
  if (font == mFont) return;
  mFont = font;
  emit fontChanged();
}

void cTextStyle::setColour(const QColor& colour) {
  if (colour == mColour) return;
  mColour = colour;
  emit colourChanged();
}
