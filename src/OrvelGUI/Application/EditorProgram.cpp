#include "OrvelGUI/Application/EditorProgram.h"

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"

void CreateEditorBackends(cApplication& application, cOrvelQmlBackend& root) {
  (void)application;  // the units are found by name
  cOrvelQmlBackend::sEditorBackends backends;
  {
    cRegistryLocker lock;
    backends.mInOutFader = new cInOutFaderPanelBackend;
    backends.mLow = new cLowMidHighPanelBackend(1);
    backends.mMid = new cLowMidHighPanelBackend(2);
    backends.mHigh = new cLowMidHighPanelBackend(3);
  }
  bool linked = backends.mInOutFader->LinkToUnits();
  for (cLowMidHighPanelBackend* panel : {backends.mLow, backends.mMid, backends.mHigh}) {
    linked = panel->LinkToUnits() && linked;
  }
  if (!linked) EW_REPORT_ERROR("Not every control of the editor could be linked to its unit");
  root.SetEditorBackends(backends);
}

sOrvelProgramOptions OrvelEditorProgramOptions() {
  sOrvelProgramOptions options;
  options.mCommandName = QStringLiteral("orvel-editor");
  options.mSummary = QStringLiteral(
      "Edits every setting of the processor live (faders, pass filters, delays, equalisers) and saves and recalls "
      "configuration files.");
  options.mScreen = QUrl(QStringLiteral("qrc:/main.qml"));
  options.mDesktopFileName = QStringLiteral("com.tessmark.OrvelEditor");
  options.mCreateBackends = CreateEditorBackends;
  return options;
}
