// The loader without a display: the real program (single-instance guard,
// cApplication, the loader screen and its backends) rendered offscreen and
// driven as a user would drive it: Connect clicked (a port chosen in the
// popup when there are several), a configuration recalled through the recall
// dialog, the status and result lines printed as they change, and pictures
// of the window saved on the way.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "OrvelGUI/Application/OrvelProgram.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "Tools/HeadlessWalk.h"

namespace {

const char* const kUsage =
    "Usage: orvel-loader-headless [--recall FILE] [--screenshot PNG] [--shots DIR] [--timeout-ms N]\n\n"
    "Runs Orvel Loader offscreen: connects to the processor (the only port, or the first one offered in the\n"
    "port popup), recalls FILE through the recall dialog, prints every status and result line the window\n"
    "shows, and saves the window as PNG at the end (--screenshot) or at every step (--shots: loader-*.png).\n"
    "Exits 0 when it connected and, with --recall, the processor holds the whole recall (\"Successful\").\n"
    "It prints \"Connected in: N ms\", the time from the click on Connect until the status line shows the\n"
    "version, the processor's settings read back and taken over.\n";

struct sHeadlessOptions {
  QString mRecall;
  QString mScreenshot;
  QString mShotsFolder;
  int mTimeoutMs = 20000;
};

bool ParseOptions(int argc, char** argv, sHeadlessOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--recall") == 0 && hasValue) {
      options.mRecall = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
    } else if (std::strcmp(argv[i], "--screenshot") == 0 && hasValue) {
      options.mScreenshot = QString::fromLocal8Bit(argv[++i]);
    } else if (std::strcmp(argv[i], "--shots") == 0 && hasValue) {
      options.mShotsFolder = QString::fromLocal8Bit(argv[++i]);
    } else if (std::strcmp(argv[i], "--timeout-ms") == 0 && hasValue) {
      options.mTimeoutMs = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return options.mTimeoutMs > 0;
}

QQuickItem* FindNamed(QQuickItem* root, const QString& name) {
  if (root == nullptr) return nullptr;
  for (QQuickItem* child : root->childItems()) {
    if (child->objectName() == name) return child;
    if (QQuickItem* found = FindNamed(child, name)) return found;
  }
  return nullptr;
}

// One walk through the loader, with a picture of each state it reaches.
class cLoaderWalkthrough : public cHeadlessWalk {
 public:
  cLoaderWalkthrough(QQuickWindow* window, cApplicationCore& core, sHeadlessOptions options)
      : cHeadlessWalk(window, "orvel-loader-headless", options.mTimeoutMs), mCore(core), mOptions(std::move(options)) {
    // Watched every millisecond: the walk's own steps look only every 20.
    connect(&mConnectWatch, &QTimer::timeout, this, [this] {
      if (!Connected()) return;
      mConnectWatch.stop();
      std::printf("Connected in: %lld ms\n", static_cast<long long>(mConnectClock.elapsed()));
    });
    PlanSteps();
    Start();
  }

 private:
  QQuickItem* Item(const char* alias) const { return Window()->property(alias).value<QQuickItem*>(); }
  QString StatusText() const override { return Root("messageBox")->property("statusText").toString(); }
  QString ResultText() const override { return Window()->property("resultText").toString(); }
  bool Flag(const char* alias, const char* property) const { return Root(alias)->property(property).toBool(); }
  // Connected, and the device has told its version (the status line shows
  // the state a moment before the version arrives).
  bool Connected() const {
    return StatusText().startsWith("Status: Connected, ") &&
           !Root("serialBackend")->property("version").toString().isEmpty();
  }

  void Click(QQuickItem* item) { ClickItem(Window(), item); }

  void Shot(const char* name) {
    if (!mOptions.mShotsFolder.isEmpty()) Save(QDir(mOptions.mShotsFolder).filePath(QLatin1String(name)));
  }

  void PlanSteps() {
    AddStep({"the port list", [this] { return StatusText() == "Status: Not connected"; },
             [this] {
               Shot("loader-not-connected.png");
               mConnectClock.start();
               mConnectWatch.start(1);
               Click(Item("connectButton"));
             }});
    // Several ports: the popup offers them and the first is taken.
    AddStep({"the connection or the port popup", [this] { return Flag("portPopup", "opened") || Connected(); },
             [this] {
               if (!Flag("portPopup", "opened")) return;
               Shot("loader-port-popup.png");
               if (QQuickItem* first = FindNamed(Window()->contentItem(), "portButton0")) Click(first);
             }});
    AddStep({"the connection", [this] { return Connected(); },
             [this] {
               Shot("loader-connected.png");
               if (!mOptions.mRecall.isEmpty()) Click(Item("recallButton"));
             }});
    if (!mOptions.mRecall.isEmpty()) {
      AwaitOutcome();
      AddStep({"the recall dialog", [this] { return Flag("recallDialog", "visible"); },
               [this] {
                 QObject* dialog = Root("recallDialog");
                 bool added = false;
                 QMetaObject::invokeMethod(dialog, "addSelection", Q_RETURN_ARG(bool, added),
                                           Q_ARG(QUrl, QUrl::fromLocalFile(mOptions.mRecall)));
                 if (!added) {
                   std::fprintf(stderr, "orvel-loader-headless: the dialog refused %s\n", qPrintable(mOptions.mRecall));
                   Fail();
                 }
                 QMetaObject::invokeMethod(dialog, "accept");
               }});
      AddStep({"the recall's result", [this] { return !ResultText().isEmpty(); },
               [this] { SetOutcome(ResultText().endsWith(" Successful")); }});
      // A recall the processor did not take leaves nothing to wait for.
      AddStep({"the processor to take every setting", [this] { return !OutcomeGood() || mCore.AllDeviceWorkDone(); },
               [this] { Shot("loader-recall.png"); }});
    }
    AddStep({"the last frame", [] { return true; },
             [this] {
               if (!mOptions.mScreenshot.isEmpty()) Save(mOptions.mScreenshot);
             }});
  }

  cApplicationCore& mCore;
  sHeadlessOptions mOptions;
  QTimer mConnectWatch;
  QElapsedTimer mConnectClock;
};

}  // namespace

int main(int argc, char** argv) {
  sHeadlessOptions headless;
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s", kUsage);
    return 0;
  }
  if (!ParseOptions(argc, argv, headless)) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  // Drawn in memory by the software renderer: no display, no GL.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");

  sOrvelProgramOptions options;
  options.mCommandName = QStringLiteral("orvel-loader-headless");
  options.mUnattended = true;
  options.mScreenLoaded = [headless](QQmlApplicationEngine& engine, cOrvelRuntime& runtime) {
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    if (window == nullptr) {
      QCoreApplication::exit(1);
      return;
    }
    // Goes with the window, before the object system it looks at.
    auto* walk = new cLoaderWalkthrough(window, runtime.Application().Core(), headless);
    walk->setParent(window);
  };
  // Only the program's own arguments are passed on (none).
  int programArgc = 1;
  return RunOrvelProgram(programArgc, argv, options);
}
