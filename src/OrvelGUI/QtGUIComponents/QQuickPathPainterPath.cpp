#include "OrvelGUI/QtGUIComponents/QQuickPathPainterPath.h"

#include <utility>

QString QQuickPathPainterPath::ToSvgPathData(const QPainterPath& path) {
  QString data;
  data.reserve(path.elementCount() * 16);
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    // The graph's paths hold lines only; a curve is drawn through its points.
    if (!data.isEmpty()) data += QLatin1Char(' ');
    data += e.isMoveTo() ? QLatin1Char('M') : QLatin1Char('L');
    data += QString::number(e.x, 'f', 2) + QLatin1Char(' ') + QString::number(e.y, 'f', 2);
  }
  // A closed subpath ends back at its start, which is where Z goes too.
  if (path.elementCount() > 2 && path.elementAt(0) == path.elementAt(path.elementCount() - 1)) data += " Z";
  return data;
}

QString QQuickPathPainterPath::svgPath() const {
  if (!mSvgValid) {
    mSvg = ToSvgPathData(mPath);
    mSvgValid = true;
  }
  return mSvg;
}

void QQuickPathPainterPath::setPath(QPainterPathWrapper* Path) {
  if (Path == mWrapper) return;
  if (mWrapper) disconnect(mWrapper, nullptr, this, nullptr);
  mWrapper = Path;
  if (mWrapper) {
    connect(mWrapper, &QPainterPathWrapper::painterPathChanged, this, &QQuickPathPainterPath::updatePathFromWrapper);
  }
  updatePathFromWrapper();
}

void QQuickPathPainterPath::setPathInternal(QPainterPath path) {
  mPath = std::move(path);
  mSvgValid = false;
  emit pathChanged();
}

void QQuickPathPainterPath::updatePathFromWrapper() {
  setPathInternal(mWrapper ? mWrapper->painterPath() : QPainterPath());
}
