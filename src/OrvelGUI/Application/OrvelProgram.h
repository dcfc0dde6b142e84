#pragma once

#include <QString>
#include <QUrl>
#include <functional>

#include "OrvelGUI/Application/OrvelRuntime.h"

class QQmlApplicationEngine;
class QQmlEngine;

// What tells one program of the product from another: its command name, its
// screen and the backends that screen needs beyond the loader's. The
// application name, and so the single-instance rule, is the same for all.
// The editor, for instance:
//   sOrvelProgramOptions options;
//   options.mCommandName = "orvel-editor";
//   options.mScreen = QUrl("qrc:/main.qml");
//   options.mCreateBackends = [](cApplication& application, cOrvelQmlBackend& root) {
//     // the panel backends, made under the registry lock (the dispatch
//     // thread runs), linked to the units of application.Core(), then
//     root.SetEditorBackends({inOutFader, low, mid, high});
//   };
//   return RunOrvelProgram(argc, argv, options);
struct sOrvelProgramOptions {
  QString mCommandName = QStringLiteral("orvel-loader");
  QString mSummary = QStringLiteral("Connects to the processor and recalls configuration files into it.");
  QUrl mScreen = QUrl(QStringLiteral("qrc:/main_load_only.qml"));
  // The desktop entry the windows belong to (its file name without
  // ".desktop"): Wayland compositors match windows to menu entries by it.
  QString mDesktopFileName = QStringLiteral("com.tessmark.OrvelLoader");
  cOrvelRuntime::tCreateBackends mCreateBackends;
  // Without a user to close it, a refused copy shows no message box and
  // ends with 1 instead of 0.
  bool mUnattended = false;
  // Called once the screen's root object exists, before the event loop
  // runs: the place for a caller that drives the screen itself.
  std::function<void(QQmlApplicationEngine&, cOrvelRuntime&)> mScreenLoaded;
};

// The whole program: --help and --version; the single-instance guard (a
// refused copy shows its message box and returns 0); identity, QML types,
// the application and its font; the object system (cOrvelRuntime); the QML
// engine with the screen; the event loop; the ordered shutdown. Returns the
// exit code. Main thread, once per process.
int RunOrvelProgram(int argc, char** argv, const sOrvelProgramOptions& options = {});

// The TCP port of the object network: ORVEL_NETWORK_PORT when it holds a
// port number (0 lets the system pick), else 51321. A value that is no port
// is reported and the default is used.
quint16 OrvelNetworkPort();

// An engine as the program sets it up for its screens: import paths, the
// "graphicsfactory" image provider, and the root context's properties
// (the scaling factors and "_App", the backend).
void SetUpOrvelQmlEngine(QQmlEngine& engine, cOrvelQmlBackend* backend);
