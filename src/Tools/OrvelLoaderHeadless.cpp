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
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "OrvelGUI/Application/OrvelProgram.h"
#include "OrvelGUI/Core/ApplicationCore.h"

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
// holds, checked every 20 ms; the walk fails when one waits too long.
class cLoaderWalkthrough : public QObject {
 public:
  cLoaderWalkthrough(QQuickWindow* window, cApplicationCore& core, sHeadlessOptions options)
      : mWindow(window), mCore(core), mOptions(std::move(options)) {
    connect(&mPoll, &QTimer::timeout, this, &cLoaderWalkthrough::Poll);
    PlanSteps();
    mStepTimer.start();
    mPoll.start(20);
  }

 private:
  struct sStep {
    const char* mWaitingFor;
    std::function<bool()> mReady;
    std::function<void()> mAction;
  };

  QObject* Root(const char* alias) const { return mWindow->property(alias).value<QObject*>(); }
  QString StatusText() const { return Root("messageBox")->property("statusText").toString(); }
  QString ResultText() const { return mWindow->property("resultText").toString(); }
  bool Visible(const char* alias) const { return Root(alias)->property("visible").toBool(); }

  // A press and a release at the centre of the item, as the window gets them
  // from a mouse.
  void Click(QQuickItem* item) {
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2.0, item->height() / 2.0));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, centre, centre, mWindow->mapToGlobal(centre.toPoint()), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(mWindow, &event);
    }
  }

  void Shot(const char* name) {
    if (mOptions.mShotsFolder.isEmpty()) return;
    Save(QDir(mOptions.mShotsFolder).filePath(QString::fromLatin1(name)));
  }
  bool Save(const QString& path) {
    const QImage image = mWindow->grabWindow();
    if (image.isNull() || !image.save(path)) {
      std::fprintf(stderr, "orvel-loader-headless: could not save %s\n", qPrintable(path));
      mFailed = true;
      return false;
    }
    std::printf("Saved %s\n", qPrintable(path));
    return true;
  }

  void PlanSteps() {
    mSteps.push_back({"the port list", [this] { return StatusText() == "Status: Not connected"; },
                      [this] {
                        Shot("loader-not-connected.png");
                        Click(qvariant_cast<QQuickItem*>(mWindow->property("connectButton")));
                      }});
    mSteps.push_back({"the connection or the port popup",
                      [this] { return Visible("portPopup") || StatusText().startsWith("Status: Connected"); },
                      [this] {
                        if (!Visible("portPopup")) return;
                        // Let the popup's opening transition end before the picture.
                        QTimer::singleShot(400, this, [this] {
                          Shot("loader-port-popup.png");
                          if (QQuickItem* first = FindNamed(mWindow->contentItem(), "portButton0")) Click(first);
                        });
                      }});
    mSteps.push_back({"the connection", [this] { return StatusText().startsWith("Status: Connected"); },
                      [this] {
                        Shot("loader-connected.png");
                        if (!mOptions.mRecall.isEmpty()) {
                          Click(qvariant_cast<QQuickItem*>(mWindow->property("recallButton")));
                        }
                      }});
    if (mOptions.mRecall.isEmpty()) return;
    mSteps.push_back({"the recall dialog", [this] { return Visible("recallDialog"); },
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
    mSteps.push_back({"the recall's result", [this] { return !ResultText().isEmpty(); },
                      [this] { mRecallSucceeded = ResultText().endsWith(" Successful"); }});
    mSteps.push_back({"the processor to take every setting", [this] { return mCore.AllDeviceWorkDone(); },
                      [this] { Shot("loader-recall.png"); }});
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

  void Poll() {
    PrintChanges();
    if (!mFailed && mNext < mSteps.size()) {
      sStep& step = mSteps[mNext];
      if (step.mReady()) {
        ++mNext;
        mStepTimer.restart();
        step.mAction();
        PrintChanges();
      } else if (mStepTimer.elapsed() > mOptions.mTimeoutMs) {
        std::fprintf(stderr, "orvel-loader-headless: gave up waiting for %s (%s)\n", step.mWaitingFor,
                     qPrintable(mLastStatus));
        mFailed = true;
      }
    }
    if (!mFailed && mNext < mSteps.size()) return;
    mPoll.stop();
    if (!mOptions.mScreenshot.isEmpty()) Save(mOptions.mScreenshot);
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
