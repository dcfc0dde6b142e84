#include "QtGUIComponents/Widgets/QMLFactoryImageProvider.h"

#include <QPainter>
#include <QUrlQuery>
#include <algorithm>

#include "EWNet/Core/ErrLog.h"
#include "QtGUIComponents/Widgets/DrawingUtility.h"

namespace {

const QColor kDefaultColour(42, 42, 42);
constexpr qreal kDefaultRadius = 5.0;
constexpr qreal kDefaultWidth = 1.0;

// A size QML asks for can be anything; keep it drawable.
QSize BoundedSize(const QSize& requested) {
  const auto side = [](int value) {
    return value > 0 ? std::min(value, cQMLFactoryImageProvider::kMaximumSide) : cQMLFactoryImageProvider::kDefaultSide;
  };
  return QSize(side(requested.width()), side(requested.height()));
}

qreal Number(const QUrlQuery& query, const char* key, qreal fallback) {
  bool ok = false;
  const qreal value = query.queryItemValue(QLatin1String(key)).toDouble(&ok);
  return ok && value >= 0.0 && value <= cQMLFactoryImageProvider::kMaximumSide ? value : fallback;
}

QColor Colour(const QUrlQuery& query) {
  const QColor colour(query.queryItemValue(QStringLiteral("colour"), QUrl::FullyDecoded));
  return colour.isValid() ? colour : kDefaultColour;
}

}  // namespace

cQMLFactoryImageProvider::cQMLFactoryImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage cQMLFactoryImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
  const QSize imageSize = BoundedSize(requestedSize);
  if (size != nullptr) *size = imageSize;
  QImage image(imageSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);

  const QString style = id.section(QLatin1Char('?'), 0, 0);
  const QUrlQuery query(id.section(QLatin1Char('?'), 1));
  const qreal radius = Number(query, "radius", kDefaultRadius);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  if (style == QLatin1String("panel")) {
    painter.fillPath(cDrawingUtility::RoundedRectangle(QRectF(image.rect()), radius, radius), Colour(query));
  } else if (style == QLatin1String("outline")) {
    const qreal width = Number(query, "width", kDefaultWidth);
    const qreal inset = width / 2.0;
    painter.setPen(QPen(Colour(query), width));
    painter.drawPath(
        cDrawingUtility::RoundedRectangle(QRectF(image.rect()).adjusted(inset, inset, -inset, -inset), radius, radius));
  } else {
    EW_REPORT_ERROR("No widget style \"%s\"", style.toUtf8().constData());
  }
  return image;
}
