#pragma once

// Loads the program's real screens offscreen, with the real backends on the
// program's own object system (cApplication and everything it builds, its
// dispatch and tick threads running), so tests can click where a user
// clicks.

#include <QGuiApplication>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QtTest>
#include <atomic>
#include <functional>
#include <memory>

#include "EWNet/QT/EWNetTCPServer.h"
#include "OrvelGUI/Application/OrvelProgram.h"
#include "OrvelGUI/Application/OrvelRuntime.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialInterface.h"
#include "OrvelGUI/Core/Version.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlTypes.h"
#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"
#include "QtGUIComponents/Common/FontStyles.h"
#include "QtGUIComponents/Common/ThemeColours.h"
#include "QtGUIComponents/Common/UISettings.h"
#include "QtGUIComponents/Widgets/DrawingUtility.h"
#include "QtGUIComponents/Widgets/QMLFactoryImageProvider.h"

// Once per test program, after the QGuiApplication exists: identity, types,
// resources and the font, as the entry point sets them up.
inline void SetUpOrvelQml() {
  QCoreApplication::setOrganizationName(kOrvelOrganisationName);
  QCoreApplication::setApplicationName(kOrvelApplicationName);
  RegisterOrvelQmlTypes();
  InitOrvelResources();
  AddOrvelApplicationFont();
}

// Collects Qt's warnings for its lifetime; QML reports binding loops,
// undefined references and type errors only as warnings. Thread-safe.
class cQtWarningCapture {
 public:
  cQtWarningCapture() {
    sActive.store(this);
    mPrevious = qInstallMessageHandler(&cQtWarningCapture::Handle);
  }
  ~cQtWarningCapture() {
    qInstallMessageHandler(mPrevious);
    sActive.store(nullptr);
  }
  cQtWarningCapture(const cQtWarningCapture&) = delete;
  cQtWarningCapture& operator=(const cQtWarningCapture&) = delete;

  // A warning the test expects: not counted.
  void Expect(const QString& pattern) {
    QMutexLocker lock(&mLock);
    mExpected << QRegularExpression(pattern);
  }
  QStringList Unexpected() {
    QMutexLocker lock(&mLock);
    return mUnexpected;
  }

 private:
  static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    cQtWarningCapture* self = sActive.load();
    if (self != nullptr && type >= QtWarningMsg) self->Record(message);
    if (self != nullptr && self->mPrevious != nullptr) self->mPrevious(type, context, message);
  }
  void Record(const QString& message) {
    QMutexLocker lock(&mLock);
    for (const QRegularExpression& expected : mExpected) {
      if (expected.match(message).hasMatch()) return;
    }
    mUnexpected << message;
  }

  static inline std::atomic<cQtWarningCapture*> sActive{nullptr};
  QtMessageHandler mPrevious = nullptr;
  QMutex mLock;
  QList<QRegularExpression> mExpected;
  QStringList mUnexpected;
};

// The program's object system as its entry point builds it: the object
// network with the connection manager and its supervision, cApplication
// with its threads running, and the top-level backend (with the editor's
// panel backends when the editor's hook is given: CreateEditorBackends).
// `beforeBackends` runs on the units first, as if they had been changed
// before the screen opened. Its object network listens on a port of the
// system's choosing, so that tests running side by side do not meet.
// Destroy the screen first.
class cLoaderProgram {
 public:
  explicit cLoaderProgram(const cOrvelRuntime::tCreateBackends& createBackends = {},
                          const std::function<void(cApplicationCore&)>& beforeBackends = {})
      : mRuntime(Options()) {
    if (beforeBackends) beforeBackends(Core());
    mRuntime.CreateBackend(createBackends);
  }
  cLoaderProgram(const cLoaderProgram&) = delete;
  cLoaderProgram& operator=(const cLoaderProgram&) = delete;

  cOrvelQmlBackend* Backend() const { return mRuntime.Backend(); }
  cApplicationCore& Core() { return mRuntime.Application().Core(); }
  cSerialInterface& Link() { return *Core().GetSerialInterface(); }
  quint16 NetworkPort() { return mRuntime.Application().TCPServer()->serverPort(); }

 private:
  static sApplicationOptions Options() {
    sApplicationOptions options;
    options.mTcpPort = 0;
    return options;
  }

  cOrvelRuntime mRuntime;
};

// One screen loaded from the program's resources in an engine set up as the
// entry point sets it up, shown and exposed.
class cQmlScreen {
 public:
  cQmlScreen(const QString& url, cOrvelQmlBackend* backend) {
    SetUpOrvelQmlEngine(mEngine, backend);
    QQmlComponent component(&mEngine, QUrl(url));
    QObject* root = component.create();
    if (root == nullptr) {
      mError = component.errorString();
      return;
    }
    mWindow.reset(qobject_cast<QQuickWindow*>(root));
    if (!mWindow) {
      delete root;
      mError = url + " is not a window";
    }
  }

  // Fails the calling test when the screen did not load or show.
  bool Show() {
    if (!mWindow) {
      QTest::qFail(qPrintable("screen not loaded: " + mError), __FILE__, __LINE__);
      return false;
    }
    mWindow->show();
    if (!QTest::qWaitForWindowExposed(mWindow.data())) {
      QTest::qFail("screen not exposed", __FILE__, __LINE__);
      return false;
    }
    return true;
  }

  QQuickWindow* Window() const { return mWindow.data(); }
  // An item the screen's root exposes as a property.
  QQuickItem* Item(const char* alias) const { return mWindow->property(alias).value<QQuickItem*>(); }
  QObject* Object(const char* alias) const { return mWindow->property(alias).value<QObject*>(); }

  // Clicks the centre of an item, as a user would.
  void Click(QQuickItem* item) const {
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2.0, item->height() / 2.0));
    QTest::mouseClick(mWindow.data(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
  }

 private:
  QQmlEngine mEngine;
  QScopedPointer<QQuickWindow> mWindow;  // destroyed before the engine
  QString mError;
};

// The first item below `root` with this object name, also inside delegates
// and popups, which QObject parents do not reach.
template <typename tItem = QQuickItem>
tItem* FindItem(QQuickItem* root, const QString& name) {
  if (root == nullptr) return nullptr;
  for (QQuickItem* child : root->childItems()) {
    if (child->objectName() == name) {
      if (auto* found = qobject_cast<tItem*>(child)) return found;
    }
    if (tItem* found = FindItem<tItem>(child, name)) return found;
  }
  return nullptr;
}
