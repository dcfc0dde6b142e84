// The loader without a display: the real program (single-instance guard,
// cApplication, the loader screen and its backends) rendered offscreen and
// driven as a user would drive it: Connect clicked (a port chosen in the
// popup when there are several), a configuration recalled through the recall
// dialog, the status and result lines printed as they change, and pictures
// of the window saved on the way.

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

#include "OrvelGUI/Application/OrvelProgram.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "Tools/HeadlessWindow.h"

namespace {

const char* const kUsage =
    "Usage: orvel-loader-headless [--recall FILE] [--screenshot PNG] [--shots DIR] [--timeout-ms N]\n\n"
    "Runs Orvel Loader offscreen: connects to the processor (the only port, or the first one offered in the\n"
    "port popup), recalls FILE through the recall dialog, prints every status and result line the window\n"
    "shows, and saves the window as PNG at the end (--screenshot) or at every step (--shots: loader-*.png).\n"
    "Exits 0 when it connected and, with --recall, the recall succeeded and reached the processor.\n";

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

// One walk through the loader: steps run in order, each when its condition
// holds (checked every 20 ms), after the window has drawn what the condition
// saw, so that a picture taken then shows it; the walk fails when a step
// waits too long.
class cLoaderWalkthrough : public QObject {
 public:
  cLoaderWalkthrough(QQuickWindow* window, cApplicationCore& core, sHeadlessOptions options)
      : mWindow(window), mCore(core), mOptions(std::move(options)) {
    connect(mWindow, &QQuickWindow::frameSwapped, this, [this] { ++mFrames; });
    connect(&mPoll, &QTimer::timeout, this, &cLoaderWalkthrough::Poll);
    PlanSteps();
    mStepTimer.start();
    mPoll.start(20);
  }

 private:
  struct sStep {
    const char* mWaitingFor;
    std::function<bool()> mReady;
    std::function<QString()> mShot;  // picture taken when ready, if it names one
    std::function<void()> mAction;
  };

  QObject* Root(const char* alias) const { return mWindow->property(alias).value<QObject*>(); }
  QQuickItem* Item(const char* alias) const { return mWindow->property(alias).value<QQuickItem*>(); }
  QString StatusText() const { return Root("messageBox")->property("statusText").toString(); }
  QString ResultText() const { return mWindow->property("resultText").toString(); }
  bool Flag(const char* alias, const char* property) const { return Root(alias)->property(property).toBool(); }
  // Connected, and the device has told its version (the status line shows
  // the state a moment before the version arrives).
  bool Connected() const {
    return StatusText().startsWith("Status: Connected, ") &&
           !Root("serialBackend")->property("version").toString().isEmpty();
  }

  void Click(QQuickItem* item) { ClickItem(mWindow, item); }

  std::function<QString()> Shot(const char* name) const {
    const QString path = mOptions.mShotsFolder.isEmpty() || *name == '\0'
                             ? QString()
                             : QDir(mOptions.mShotsFolder).filePath(QLatin1String(name));
    return [path] { return path; };
  }

  void Save(const QString& path) {
    if (!SaveWindowImage(mWindow, path)) {
      std::fprintf(stderr, "orvel-loader-headless: could not save %s\n", qPrintable(path));
      mFailed = true;
      return;
    }
    std::printf("Saved %s\n", qPrintable(path));
  }

  void PlanSteps() {
    mSteps.push_back({"the port list", [this] { return StatusText() == "Status: Not connected"; },
                      Shot("loader-not-connected.png"), [this] { Click(Item("connectButton")); }});
    // Several ports: the popup offers them and the first is taken.
    mSteps.push_back({"the connection or the port popup", [this] { return Flag("portPopup", "opened") || Connected(); },
                      [this] { return Flag("portPopup", "opened") ? Shot("loader-port-popup.png")() : QString(); },
                      [this] {
                        if (!Flag("portPopup", "opened")) return;
                        if (QQuickItem* first = FindNamed(mWindow->contentItem(), "portButton0")) Click(first);
                      }});
    mSteps.push_back({"the connection", [this] { return Connected(); }, Shot("loader-connected.png"),
                      [this] {
                        if (!mOptions.mRecall.isEmpty()) Click(Item("recallButton"));
                      }});
    if (!mOptions.mRecall.isEmpty()) {
      mSteps.push_back({"the recall dialog", [this] { return Flag("recallDialog", "visible"); }, Shot(""),
                        [this] {
                          QObject* dialog = Root("recallDialog");
                          bool added = false;
                          QMetaObject::invokeMethod(dialog, "addSelection", Q_RETURN_ARG(bool, added),
                                                    Q_ARG(QUrl, QUrl::fromLocalFile(mOptions.mRecall)));
                          if (!added) {
                            std::fprintf(stderr, "orvel-loader-headless: the dialog refused %s\n",
                                         qPrintable(mOptions.mRecall));
                            mFailed = true;
                          }
                          QMetaObject::invokeMethod(dialog, "accept");
                        }});
      mSteps.push_back({"the recall's result", [this] { return !ResultText().isEmpty(); }, Shot(""),
                        [this] { mRecallSucceeded = ResultText().endsWith(" Successful"); }});
      mSteps.push_back({"the processor to take every setting", [this] { return mCore.AllDeviceWorkDone(); },
                        Shot("loader-recall.png"), [] {}});
    }
    mSteps.push_back({"the last frame", [] { return true; }, [this] { return mOptions.mScreenshot; }, [] {}});
  }

  void PrintChanges() {
    const QString status = StatusText();
    if (status != mLastStatus) {
      mLastStatus = status;
      std::printf("%s\n", qPrintable(status));
    }
    const QString result = ResultText();
    if (result != mLastResult) {
      mLastResult = result;
      if (!result.isEmpty()) std::printf("%s\n", qPrintable(result));
    }
    std::fflush(stdout);
  }

  // Runs the next step once its condition holds and a frame has been drawn
  // since; false while it waits.
  bool StepTaken(sStep& step) {
    if (!mReadySeen) {
      if (!step.mReady()) return false;
      mReadySeen = true;
      mFramesAtReady = mFrames;
      mWindow->update();
      return false;
    }
    if (mFrames == mFramesAtReady) return false;
    mReadySeen = false;
    const QString shot = step.mShot();
    if (!shot.isEmpty()) Save(shot);
    step.mAction();
    return true;
  }

  void Poll() {
    PrintChanges();
    if (!mFailed && mNext < mSteps.size()) {
      sStep& step = mSteps[mNext];
      if (StepTaken(step)) {
        ++mNext;
        mStepTimer.restart();
        PrintChanges();
      } else if (mStepTimer.elapsed() > mOptions.mTimeoutMs) {
        std::fprintf(stderr, "orvel-loader-headless: gave up waiting for %s (%s)\n", step.mWaitingFor,
                     qPrintable(mLastStatus));
        mFailed = true;
      }
    }
    if (!mFailed && mNext < mSteps.size()) return;
    mPoll.stop();
    const bool recallFine = mOptions.mRecall.isEmpty() || mRecallSucceeded;
    QCoreApplication::exit(!mFailed && recallFine ? 0 : 1);
  }

  QQuickWindow* mWindow;
  cApplicationCore& mCore;
  sHeadlessOptions mOptions;
  std::vector<sStep> mSteps;
  std::size_t mNext = 0;
  QTimer mPoll;
  QElapsedTimer mStepTimer;
  int mFrames = 0;
  int mFramesAtReady = 0;
  bool mReadySeen = false;
  QString mLastStatus;
  QString mLastResult;
  bool mFailed = false;
  bool mRecallSucceeded = false;
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
