#include "OrvelGUI/QtGUIComponents/QPainterPathWrapper.h"

#include <utility>

void QPainterPathWrapper::setPainterPath(const QPainterPath& path) {
  mPath = path;
  emit painterPathChanged();
}

void QPainterPathWrapper::setPainterPath(QPainterPath&& path) {
  mPath = std::move(path);
  emit painterPathChanged();
}
