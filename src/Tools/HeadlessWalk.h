#pragma once

// The walk the offscreen programs take through a screen, as a user would.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QObject>
#include <QQuickWindow>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "Tools/HeadlessWindow.h"

// Steps run in order, each once its condition holds and the window has drawn
// a frame since (checked every 20 ms), so that a picture taken in a step
// shows what its condition saw; a step that waits too long fails the walk.
// The status and result lines are printed as they change. The program ends
// with the last step: 0 when nothing failed and the outcome the walk waited
// for (a recall's result) was good.
class cHeadlessWalk : public QObject {
 public:
  struct sStep {
    const char* mWaitingFor;
    std::function<bool()> mReady;
    std::function<void()> mAction;
  };

  cHeadlessWalk(QQuickWindow* window, const char* command, int timeoutMs)
      : mWindow(window), mCommand(command), mTimeoutMs(timeoutMs) {
    connect(mWindow, &QQuickWindow::frameSwapped, this, [this] { ++mFrames; });
    connect(&mPoll, &QTimer::timeout, this, &cHeadlessWalk::Poll);
  }

 protected:
  virtual QString StatusText() const = 0;
  virtual QString ResultText() const = 0;

  QQuickWindow* Window() const { return mWindow; }
  QObject* Root(const char* alias) const { return mWindow->property(alias).value<QObject*>(); }

  void AddStep(sStep step) { mSteps.push_back(std::move(step)); }
  void Start() {
    mClock.start();
    mPoll.start(20);
  }

  void Fail() { mFailed = true; }
  // The walk succeeds only if SetOutcome(true) follows.
  void AwaitOutcome() { mOutcomeGood = false; }
  void SetOutcome(bool good) { mOutcomeGood = good; }
  bool OutcomeGood() const { return mOutcomeGood; }

  // The picture's folder is made if it is not there.
  void Save(const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !SaveWindowImage(mWindow, path)) {
      std::fprintf(stderr, "%s: could not save %s\n", mCommand, qPrintable(path));
      Fail();
      return;
    }
    std::printf("Saved %s\n", qPrintable(path));
  }

 private:
  void PrintChanges() {
    const QString status = StatusText();
    if (status != mLastStatus && !status.isEmpty()) std::printf("%s\n", qPrintable(status));
    mLastStatus = status;
    const QString result = ResultText();
    if (result != mLastResult && !result.isEmpty()) std::printf("%s\n", qPrintable(result));
    mLastResult = result;
    std::fflush(stdout);
  }

  // Runs the step once its condition holds and a frame has been drawn since;
  // false while it waits.
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
    step.mAction();
    return true;
  }

  void Poll() {
    PrintChanges();
    if (!mFailed && mNext < mSteps.size()) {
      sStep& step = mSteps[mNext];
      if (StepTaken(step)) {
        ++mNext;
        mClock.restart();
        PrintChanges();
      } else if (mClock.elapsed() > mTimeoutMs) {
        std::fprintf(stderr, "%s: gave up waiting for %s (%s)\n", mCommand, step.mWaitingFor, qPrintable(mLastStatus));
        Fail();
      }
    }
    if (!mFailed && mNext < mSteps.size()) return;
    mPoll.stop();
    QCoreApplication::exit(!mFailed && mOutcomeGood ? 0 : 1);
  }

  QQuickWindow* mWindow;
  const char* mCommand;
  int mTimeoutMs;
  std::vector<sStep> mSteps;
  std::size_t mNext = 0;
  QTimer mPoll;
  QElapsedTimer mClock;
  int mFrames = 0;
  int mFramesAtReady = 0;
  bool mReadySeen = false;
  bool mFailed = false;
  bool mOutcomeGood = true;
  QString mLastStatus;
  QString mLastResult;
};
