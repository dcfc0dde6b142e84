#include "OrvelGUI/Application/OrvelProgram.h"

#include <QApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/QT/EWNetTCPServer.h"
#include "OrvelGUI/Application/SceneGraphBackend.h"
#include "OrvelGUI/Application/SingleInstanceGuard.h"
#include "OrvelGUI/Core/Version.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlTypes.h"
#include "QtGUIComponents/Widgets/QMLFactoryImageProvider.h"

namespace {

// Boot time counts from here: started while the program's static data is
// set up, before main.
QElapsedTimer StartedTimer() {
  QElapsedTimer timer;
  timer.start();
  return timer;
}
const QElapsedTimer gSinceStaticSetUp = StartedTimer();

constexpr double kScreenScalingFactor = 1.0;
constexpr double kFontScalingFactor = 1.0;

void PrintHelp(const sOrvelProgramOptions& options) {
  std::printf(
      "Usage: %s [--help | --version]\n\n"
      "%s %s. %s\n"
      "Only one copy runs at a time.\n\n"
      "Environment:\n"
      "  ORVEL_SERIAL_PORTS  colon-separated device paths listed first as the processor's ports\n"
      "                      (for example the pseudo-terminal of orvel-devsim)\n"
      "  ORVEL_NETWORK_PORT  TCP port on which the object network listens (default %u; 0 lets the\n"
      "                      system pick one)\n"
      "  ORVEL_NETWORK_ALLOW peers allowed to connect to it, replacing the setting network/allow\n"
      "                      for this run: addresses and CIDR ranges, comma-separated, \"local\",\n"
      "                      \"any\" or \"off\" (default: this machine only)\n",
      qPrintable(options.mCommandName), kOrvelApplicationName, kOrvelVersionText, qPrintable(options.mSummary),
      unsigned(kEWNetDefaultTcpPort));
}

// --help and --version print and end the program; any other argument is
// left to Qt, as without them.
bool HandledInformationOption(int argc, char** argv, const sOrvelProgramOptions& options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintHelp(options);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", kOrvelApplicationName, kOrvelVersionText);
      return true;
    }
  }
  return false;
}

// Lets a test close the message box the way a user does, with a key press,
// after the given number of milliseconds (ORVEL_TEST_CLOSE_DIALOG_MS).
void CloseForTestsLater(QMessageBox& box) {
  bool ok = false;
  const int delayMs = qEnvironmentVariableIntValue("ORVEL_TEST_CLOSE_DIALOG_MS", &ok);
  if (!ok || delayMs < 0) return;
  QTimer::singleShot(delayMs, &box, [&box] {
    qDebug().noquote() << "Closing the message box:" << box.text();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &press);
  });
}

int RefuseSecondInstance(int argc, char** argv, bool unattended) {
  const QString name = QString::fromLatin1(kOrvelApplicationName);
  qDebug().noquote() << "An instance of " + name + " is already running.";
  if (unattended) return 1;
  QApplication application(argc, argv);
  QMessageBox box(QMessageBox::Information, name,
                  QObject::tr("%1 is already running. Only one instance can run at once.").arg(name), QMessageBox::Ok);
  CloseForTestsLater(box);
  box.exec();
  return 0;
}

// The first frame on screen, as a start-up figure next to "Booted in". A
// render thread may swap twice before the first report has run here.
void ReportFirstFrame(QQmlApplicationEngine& engine) {
  for (QObject* root : engine.rootObjects()) {
    auto* window = qobject_cast<QQuickWindow*>(root);
    if (window == nullptr) continue;
    struct sReport {
      bool mDone = false;
      QMetaObject::Connection mConnection;
    };
    auto report = std::make_shared<sReport>();
    report->mConnection = QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [report] {
          if (report->mDone) return;
          report->mDone = true;
          QObject::disconnect(report->mConnection);
          qDebug().noquote() << "First frame in: " + QString::number(gSinceStaticSetUp.elapsed()) + "ms";
        },
        Qt::QueuedConnection);
    return;
  }
}

}  // namespace

void SetUpOrvelQmlEngine(QQmlEngine& engine, cOrvelQmlBackend* backend) {
  engine.addImportPath(QStringLiteral("qrc:/qml/EWQml"));
  engine.addImportPath(QStringLiteral("qrc:/qml"));
  engine.addImportPath(QStringLiteral("qrc:/"));
  engine.addImageProvider(QLatin1String(cQMLFactoryImageProvider::kProviderName), new cQMLFactoryImageProvider);
  engine.rootContext()->setContextProperty(QStringLiteral("_screenScalingFactor"), kScreenScalingFactor);
  engine.rootContext()->setContextProperty(QStringLiteral("_fontScalingFactor"), kFontScalingFactor);
  engine.rootContext()->setContextProperty(QStringLiteral("_App"), backend);
}

quint16 OrvelNetworkPort() {
  const QByteArray text = qgetenv("ORVEL_NETWORK_PORT");
  if (text.isEmpty()) return kEWNetDefaultTcpPort;
  bool ok = false;
  const uint port = text.trimmed().toUInt(&ok);
  if (!ok || port > 65535) {
    EW_REPORT_ERROR("ORVEL_NETWORK_PORT=\"%s\" is no TCP port; %u is used", text.constData(),
                    unsigned(kEWNetDefaultTcpPort));
    return kEWNetDefaultTcpPort;
  }
  return quint16(port);
}

int RunOrvelProgram(int argc, char** argv, const sOrvelProgramOptions& options) {
  if (HandledInformationOption(argc, argv, options)) return 0;

  cSingleInstanceGuard guard(QString::fromLatin1(kOrvelApplicationName));
  if (!guard.TryAcquire()) return RefuseSecondInstance(argc, argv, options.mUnattended);

  QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
  QCoreApplication::setOrganizationName(QString::fromLatin1(kOrvelOrganisationName));
  QCoreApplication::setApplicationName(QString::fromLatin1(kOrvelApplicationName));
  QGuiApplication::setDesktopFileName(options.mDesktopFileName);
  RegisterOrvelQmlTypes();
  QGuiApplication application(argc, argv);
  ChooseSoftwareRendererWithoutOpenGL();
  InitOrvelResources();
  AddOrvelApplicationFont();
  qInfo() << "OrvelGUI Main";

  sApplicationOptions applicationOptions;
  applicationOptions.mTcpPort = OrvelNetworkPort();
  cOrvelRuntime runtime(applicationOptions);
  qDebug().noquote() << "Booted in: " + QString::number(gSinceStaticSetUp.elapsed()) + "ms";
  qDebug().noquote() << QStringLiteral("System Started - ") + QString::fromLatin1(kOrvelVersionText);
  if (const cEWNetTCPServer* server = runtime.Application().TCPServer(); server && server->isListening()) {
    qDebug().noquote() << "Object network listening on TCP port " + QString::number(server->serverPort());
  }

  cOrvelQmlBackend* backend = runtime.CreateBackend(options.mCreateBackends);
  int result = 0;
  {
    QQmlApplicationEngine engine;
    SetUpOrvelQmlEngine(engine, backend);
    const QUrl screen = options.mScreen;
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &application,
        [screen](QObject* created, const QUrl& url) {
          if (created == nullptr && url == screen) QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);
    engine.load(screen);
    ReportFirstFrame(engine);
    if (options.mScreenLoaded && !engine.rootObjects().isEmpty()) options.mScreenLoaded(engine, runtime);
    result = application.exec();
  }
  // The engine is gone: nothing in QML is bound to the backends any more.
  runtime.Shutdown();
  qDebug() << "cApplication destroyed";
  return result;
}
