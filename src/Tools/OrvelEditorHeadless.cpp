// The editor without a display: the real program (single-instance guard,
// cApplication, the editor screen with every panel backend) rendered
// offscreen and driven as a user would: Connect clicked, a configuration
// recalled through the recall dialog, then every tab shown in turn, with a
// picture of each (the High tab with the device's curves drawn as well).

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "Tools/HeadlessWindow.h"

namespace {

const char* const kUsage =
    "Usage: orvel-editor-headless [--recall FILE] [--shots DIR] [--size WxH] [--timeout-ms N]\n\n"
    "Runs the Orvel editor offscreen: connects to the processor (the first port), recalls FILE through the\n"
    "recall dialog, prints every status and result line, then shows each tab (Faders, Low, Mid, High) and,\n"
    "with --shots, saves it as DIR/editor-<tab>.png (the High tab also with the device's curves drawn).\n"
    "Exits 0 when it connected and, with --recall, the recall succeeded and reached the processor.\n";

struct sOptions {
  QString mRecall;
  QString mShots;
  QSize mSize{1280, 720};
  int mTimeoutMs = 20000;
};

bool Parse(int argc, char** argv, sOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const bool value = i + 1 < argc;
    if (std::strcmp(argv[i], "--recall") == 0 && value) {
      options.mRecall = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
    } else if (std::strcmp(argv[i], "--shots") == 0 && value) {
      options.mShots = QString::fromLocal8Bit(argv[++i]);
    } else if (std::strcmp(argv[i], "--size") == 0 && value) {
      const QStringList parts = QString::fromLatin1(argv[++i]).split('x');
      if (parts.size() != 2) return false;
      options.mSize = QSize(parts[0].toInt(), parts[1].toInt());
    } else if (std::strcmp(argv[i], "--timeout-ms") == 0 && value) {
      options.mTimeoutMs = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return options.mTimeoutMs > 0 && options.mSize.width() >= 640 && options.mSize.height() >= 480;
}

// Steps run in order, each once its condition holds and the window has drawn
// a frame since (checked every 20 ms); a step that waits too long fails the
// walk.
class cEditorWalk : public QObject {
 public:
  cEditorWalk(QQuickWindow* window, cApplicationCore& core, sOptions options)
      : mWindow(window), mCore(core), mOptions(std::move(options)) {
    connect(mWindow, &QQuickWindow::frameSwapped, this, [this] { ++mFrames; });
    connect(&mPoll, &QTimer::timeout, this, &cEditorWalk::Poll);
    Plan();
    mClock.start();
    mPoll.start(20);
  }

 private:
  struct sStep {
    const char* mWaitingFor;
    std::function<bool()> mReady;
    std::function<void()> mAction;
  };

  QObject* Root(const char* alias) const { return mWindow->property(alias).value<QObject*>(); }
  QString Bar(const char* property) const { return Root("topBar")->property(property).toString(); }

  void Click(const char* button) { ClickItem(mWindow, Root("topBar")->property(button).value<QQuickItem*>()); }

  void Save(const QString& name) {
    if (mOptions.mShots.isEmpty()) return;
    const QString path = QDir(mOptions.mShots).filePath(name);
    if (!SaveWindowImage(mWindow, path)) {
      std::fprintf(stderr, "orvel-editor-headless: could not save %s\n", qPrintable(path));
      mFailed = true;
      return;
    }
    std::printf("Saved %s\n", qPrintable(path));
  }

  void ShowTab(int index) { Root("topBar")->setProperty("currentIndex", index); }

  void Plan() {
    mSteps.push_back({"the port list", [this] { return Bar("statusText") == "Status: Device Detected"; },
                      [this] { Click("connectButton"); }});
    mSteps.push_back({"the connection", [this] { return Bar("statusText").startsWith("Status: Connected, V"); },
                      [this] {
                        if (!mOptions.mRecall.isEmpty()) Click("recallButton");
                      }});
    if (!mOptions.mRecall.isEmpty()) {
      mSteps.push_back({"the recall dialog", [this] { return Root("recallDialog")->property("visible").toBool(); },
                        [this] {
                          QObject* dialog = Root("recallDialog");
                          QMetaObject::invokeMethod(dialog, "addSelection",
                                                    Q_ARG(QUrl, QUrl::fromLocalFile(mOptions.mRecall)));
                          QMetaObject::invokeMethod(dialog, "accept");
                        }});
      mSteps.push_back({"the recall's result", [this] { return !Bar("resultText").isEmpty(); },
                        [this] { mRecallSucceeded = Bar("resultText").endsWith(" Successful"); }});
      mSteps.push_back({"the processor to take every setting", [this] { return mCore.AllDeviceWorkDone(); }, [] {}});
    }
    const char* const tabs[] = {"faders", "low", "mid", "high"};
    for (int tab = 0; tab < 4; ++tab) {
      mSteps.push_back({"the tab", [] { return true; }, [this, tab] { ShowTab(tab); }});
      // Two frames: the curves are drawn coarsely first, then in full.
      mSteps.push_back({"the tab's frame", [] { return true; }, [] {}});
      mSteps.push_back({"the tab's picture", [] { return true; },
                        [this, tab, tabs] { Save(QStringLiteral("editor-%1.png").arg(tabs[tab])); }});
    }
    mSteps.push_back({"the device curves", [] { return true; },
                      [this] {
                        QObject* panel = Root("highPanel");
                        for (const char* eq : {"leftEQ", "rightEQ"}) {
                          panel->property(eq).value<QObject*>()->setProperty("showQuantised", true);
                        }
                      }});
    mSteps.push_back({"the device curves' frame", [] { return true; }, [] {}});
    mSteps.push_back({"the device curves' picture", [] { return true; }, [this] { Save("editor-high-device.png"); }});
  }

  void Print() {
    for (const char* property : {"statusText", "resultText"}) {
      const QString text = Bar(property);
      QString& last = property[0] == 's' ? mLastStatus : mLastResult;
      if (text != last && !text.isEmpty()) std::printf("%s\n", qPrintable(text));
      last = text;
    }
    std::fflush(stdout);
  }

  void Poll() {
    Print();
    if (!mFailed && mNext < mSteps.size()) {
      sStep& step = mSteps[mNext];
      if (!mReadySeen) {
        if (step.mReady()) {
          mReadySeen = true;
          mFramesAtReady = mFrames;
          mWindow->update();
        }
      } else if (mFrames != mFramesAtReady) {
        mReadySeen = false;
        step.mAction();
        ++mNext;
        mClock.restart();
      }
      if (mNext < mSteps.size() && mClock.elapsed() > mOptions.mTimeoutMs) {
        std::fprintf(stderr, "orvel-editor-headless: gave up waiting for %s (%s)\n", mSteps[mNext].mWaitingFor,
                     qPrintable(mLastStatus));
        mFailed = true;
      }
    }
    if (!mFailed && mNext < mSteps.size()) return;
    mPoll.stop();
    QCoreApplication::exit(!mFailed && (mOptions.mRecall.isEmpty() || mRecallSucceeded) ? 0 : 1);
  }

  QQuickWindow* mWindow;
  cApplicationCore& mCore;
  sOptions mOptions;
  std::vector<sStep> mSteps;
  std::size_t mNext = 0;
  QTimer mPoll;
  QElapsedTimer mClock;
  int mFrames = 0;
  int mFramesAtReady = 0;
  bool mReadySeen = false;
  bool mFailed = false;
  bool mRecallSucceeded = false;
  QString mLastStatus;
  QString mLastResult;
};

}  // namespace

int main(int argc, char** argv) {
  sOptions walk;
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s", kUsage);
    return 0;
  }
  if (!Parse(argc, argv, walk)) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  // Drawn in memory by the software renderer: no display, no GL.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");

  sOrvelProgramOptions options = OrvelEditorProgramOptions();
  options.mCommandName = QStringLiteral("orvel-editor-headless");
  options.mUnattended = true;
  options.mScreenLoaded = [walk](QQmlApplicationEngine& engine, cOrvelRuntime& runtime) {
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    if (window == nullptr) {
      QCoreApplication::exit(1);
      return;
    }
    window->resize(walk.mSize);
    // Goes with the window, before the object system it looks at.
    (new cEditorWalk(window, runtime.Application().Core(), walk))->setParent(window);
  };
  int programArgc = 1;
  return RunOrvelProgram(programArgc, argv, options);
}
