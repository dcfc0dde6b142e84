#pragma once

#include <QColor>
#include <QFont>
#include <QObject>

// One named text style: a font and a colour.
class cTextStyle : public QObject {
  Q_OBJECT
  Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged)
  Q_PROPERTY(QColor colour READ colour WRITE setColour NOTIFY colourChanged)

 public:
  cTextStyle(const QFont& font, const QColor& colour, QObject* parent = nullptr);

  QFont font() const { return mFont; }
  QColor colour() const { return mColour; }

 public slots:
  void setFont(const QFont& font);
  void setColour(const QColor& colour);

 signals:
  void fontChanged();
  void colourChanged();

 private:
  QFont mFont;
  QColor mColour;
};
