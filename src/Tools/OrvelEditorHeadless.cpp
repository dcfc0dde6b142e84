// The editor without a display: the real program (single-instance guard,
// cApplication, the editor screen with every panel backend) rendered
// offscreen and driven as a user would: Connect clicked, a configuration
// recalled through the recall dialog, then every tab shown in turn, with a
// picture of each (the High tab with the device's curves drawn as well, the
// Mid tab with the whole outputs' responses).

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "Tools/HeadlessWalk.h"

namespace {

const char* const kUsage =
    "Usage: orvel-editor-headless [--recall FILE] [--shots DIR] [--size WxH] [--timeout-ms N]\n\n"
    "Runs the Orvel editor offscreen: connects to the processor (the first port), recalls FILE through the\n"
    "recall dialog, prints every status and result line, then shows each tab (Faders, Low, Mid, High) and,\n"
    "with --shots, saves it as DIR/editor-<tab>.png (the High tab also with the device's curves drawn,\n"
    "the Mid tab with the whole outputs' responses).\n"
    "Exits 0 when it connected and, with --recall, the processor holds the whole recall (\"Successful\").\n";

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

// Connect, recall, then every tab with its picture.
class cEditorWalk : public cHeadlessWalk {
 public:
  cEditorWalk(QQuickWindow* window, cApplicationCore& core, sOptions options)
      : cHeadlessWalk(window, "orvel-editor-headless", options.mTimeoutMs), mCore(core), mOptions(std::move(options)) {
    Plan();
    Start();
  }

 private:
  QString Bar(const char* property) const { return Root("topBar")->property(property).toString(); }
  QString StatusText() const override { return Bar("statusText"); }
  QString ResultText() const override { return Bar("resultText"); }

  void Click(const char* button) { ClickItem(Window(), Root("topBar")->property(button).value<QQuickItem*>()); }

  void Shot(const QString& name) {
    if (!mOptions.mShots.isEmpty()) Save(QDir(mOptions.mShots).filePath(name));
  }

  void ShowTab(int index) { Root("topBar")->setProperty("currentIndex", index); }

  void Plan() {
    AddStep({"the port list", [this] { return StatusText() == "Status: Device Detected"; },
             [this] { Click("connectButton"); }});
    AddStep({"the connection", [this] { return StatusText().startsWith("Status: Connected, V"); },
             [this] {
               if (!mOptions.mRecall.isEmpty()) Click("recallButton");
             }});
    if (!mOptions.mRecall.isEmpty()) {
      AwaitOutcome();
      AddStep({"the recall dialog", [this] { return Root("recallDialog")->property("visible").toBool(); },
               [this] {
                 QObject* dialog = Root("recallDialog");
                 QMetaObject::invokeMethod(dialog, "addSelection", Q_ARG(QUrl, QUrl::fromLocalFile(mOptions.mRecall)));
                 QMetaObject::invokeMethod(dialog, "accept");
               }});
      AddStep({"the recall's result", [this] { return !ResultText().isEmpty(); },
               [this] { SetOutcome(ResultText().endsWith(" Successful")); }});
      // A recall the processor did not take leaves nothing to wait for.
      AddStep({"the processor to take every setting", [this] { return !OutcomeGood() || mCore.AllDeviceWorkDone(); },
               [] {}});
    }
    const char* const tabs[] = {"faders", "low", "mid", "high"};
    for (int tab = 0; tab < 4; ++tab) {
      AddStep({"the tab", [] { return true; }, [this, tab] { ShowTab(tab); }});
      // Two frames: the curves are drawn coarsely first, then in full.
      AddStep({"the tab's frame", [] { return true; }, [] {}});
      AddStep({"the tab's picture", [] { return true; },
               [this, tab, tabs] { Shot(QStringLiteral("editor-%1.png").arg(tabs[tab])); }});
    }
    AddStep({"the device curves", [] { return true; },
             [this] {
               QObject* panel = Root("highPanel");
               for (const char* eq : {"leftEQ", "rightEQ"}) {
                 panel->property(eq).value<QObject*>()->setProperty("showQuantised", true);
               }
             }});
    AddStep({"the device curves' frame", [] { return true; }, [] {}});
    AddStep({"the device curves' picture", [] { return true; }, [this] { Shot("editor-high-device.png"); }});
    AddStep({"the whole outputs", [] { return true; },
             [this] {
               ShowTab(2);
               QObject* panel = Root("midPanel");
               for (const char* eq : {"leftEQ", "rightEQ"}) {
                 panel->property(eq).value<QObject*>()->setProperty("showOutput", true);
               }
             }});
    AddStep({"the whole outputs' frame", [] { return true; }, [] {}});
    AddStep({"the whole outputs' picture", [] { return true; }, [this] { Shot("editor-mid-output.png"); }});
  }

  cApplicationCore& mCore;
  sOptions mOptions;
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
  // Nobody answers the desktop's dialogs here: Qt Quick's own take the file
  // the walk names, as in the headless loader.
  options.mDesktopDialogs = false;
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
