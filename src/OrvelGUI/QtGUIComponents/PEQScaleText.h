#pragma once

#include <QObject>
#include <QPointF>
#include <QString>

// One label of the graph's frequency scale and where it goes. GUI thread.
class cPEQScaleText : public QObject {
  Q_OBJECT
  Q_PROPERTY(QPointF position READ position NOTIFY positionChanged)
  Q_PROPERTY(QString scaleText READ scaleText NOTIFY scaleTextChanged)

 public:
  cPEQScaleText(const QPointF& position, const QString& text, QObject* parent = nullptr)
      : QObject(parent), mPosition(position), mText(text) {}

  QPointF position() const { return mPosition; }
  QString scaleText() const { return mText; }

 signals:
  void positionChanged();
  void scaleTextChanged();

 private:
  QPointF mPosition;
  QString mText;
};
