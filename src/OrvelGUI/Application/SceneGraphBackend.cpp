#include "OrvelGUI/Application/SceneGraphBackend.h"

#include <QDebug>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QThread>

#ifndef QT_NO_OPENGL
#include <QOffscreenSurface>
#include <QOpenGLContext>
#endif

bool OpenGLContextAvailable() {
  Q_ASSERT(QThread::currentThread() == qApp->thread());
#ifdef QT_NO_OPENGL
  return false;
#else
  QOpenGLContext context;
  if (!context.create()) return false;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid()) return false;
  if (!context.makeCurrent(&surface)) return false;
  context.doneCurrent();
  return true;
#endif
}

bool ChooseSoftwareRendererWithoutOpenGL() {
  Q_ASSERT(QThread::currentThread() == qApp->thread());
  if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") || !qEnvironmentVariableIsEmpty("QMLSCENE_DEVICE")) {
    return false;
  }
  if (OpenGLContextAvailable()) return false;
  QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
  qInfo().noquote() << "No OpenGL context could be made on this display; drawing with Qt Quick's software renderer";
  return true;
}
