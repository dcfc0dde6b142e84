#pragma once

#include <QObject>
#include <QString>

#include "OrvelGUI/QtGUIComponents/EditHistoryBackend.h"
#include "OrvelGUI/QtGUIComponents/InOutFaderPanelBackend.h"
#include "OrvelGUI/QtGUIComponents/LowMidHighPanelBackend.h"
#include "OrvelGUI/QtGUIComponents/NetworkAccessBackend.h"
#include "OrvelGUI/QtGUIComponents/SavesDialogBackend.h"
#include "OrvelGUI/QtGUIComponents/SerialConnectionBackend.h"

// The one object the screens are given ("_App"): the version text, the
// window scale, and the backends of each screen area as constant
// properties. The loader uses the serial-connection and saves-dialog
// backends, made here; the editor's panel backends are set in from outside
// once the audio units they link to exist.
//
// Needs the registry router and the system builder; the serial connect
// driver and the saves manager may come later (the links wait for them).
// GUI thread. Outlives the QML engine.
class cOrvelQmlBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString versionAndRevisionString READ versionAndRevisionString CONSTANT)
  Q_PROPERTY(cSerialConnectionBackend* backendSerialConnection READ backendSerialConnection CONSTANT)
  Q_PROPERTY(cSavesDialogBackend* backendSavesDialog READ backendSavesDialog CONSTANT)
  Q_PROPERTY(cNetworkAccessBackend* backendNetwork READ backendNetwork CONSTANT)
  Q_PROPERTY(cInOutFaderPanelBackend* backendInOutFader READ backendInOutFader CONSTANT)
  Q_PROPERTY(cLowMidHighPanelBackend* backendLow READ backendLow CONSTANT)
  Q_PROPERTY(cLowMidHighPanelBackend* backendMid READ backendMid CONSTANT)
  Q_PROPERTY(cLowMidHighPanelBackend* backendHigh READ backendHigh CONSTANT)
  // Undo and redo of the editor's panels, and whether anything is unsaved.
  Q_PROPERTY(cEditHistoryBackend* backendEditHistory READ backendEditHistory CONSTANT)
  Q_PROPERTY(double windowHScale READ windowHScale WRITE setWindowHScale NOTIFY windowHScaleChanged)
  Q_PROPERTY(double windowWScale READ windowWScale WRITE setWindowWScale NOTIFY windowWScaleChanged)

 public:
  static constexpr const char* kRevisionText = "";

  // The editor's backends: the in/out fader panel and the Low, Mid and High
  // panels. Null where a screen has none.
  struct sEditorBackends {
    cInOutFaderPanelBackend* mInOutFader = nullptr;
    cLowMidHighPanelBackend* mLow = nullptr;
    cLowMidHighPanelBackend* mMid = nullptr;
    cLowMidHighPanelBackend* mHigh = nullptr;
  };

  explicit cOrvelQmlBackend(QObject* parent = nullptr);
  ~cOrvelQmlBackend() override;
  cOrvelQmlBackend(const cOrvelQmlBackend&) = delete;
  cOrvelQmlBackend& operator=(const cOrvelQmlBackend&) = delete;

  // Takes the editor's backends as children and records their edits in the
  // edit history. Their properties are constant to QML, so this is done
  // once, before the engine loads a screen.
  void SetEditorBackends(const sEditorBackends& backends);
  // Takes every backend's net object off the network, the editor's panels'
  // too; nothing reaches them afterwards. Safe to call more than once; the
  // destructor calls it.
  void Shutdown();

  QString versionAndRevisionString() const;
  cSerialConnectionBackend* backendSerialConnection() const { return mSerialConnection; }
  cSavesDialogBackend* backendSavesDialog() const { return mSavesDialog; }
  cNetworkAccessBackend* backendNetwork() const { return mNetwork; }
  cInOutFaderPanelBackend* backendInOutFader() const { return mEditor.mInOutFader; }
  cLowMidHighPanelBackend* backendLow() const { return mEditor.mLow; }
  cLowMidHighPanelBackend* backendMid() const { return mEditor.mMid; }
  cLowMidHighPanelBackend* backendHigh() const { return mEditor.mHigh; }
  cEditHistoryBackend* backendEditHistory() const { return mEditHistory; }
  double windowHScale() const { return mWindowHScale; }
  double windowWScale() const { return mWindowWScale; }

 public slots:
  // Stored to two places; only a change is signalled.
  void setWindowHScale(double Scale);
  void setWindowWScale(double Scale);

 signals:
  void windowHScaleChanged();
  void windowWScaleChanged();

 private:
  bool StoreScale(double scale, double& stored);

  cSerialConnectionBackend* mSerialConnection = nullptr;  // child
  cSavesDialogBackend* mSavesDialog = nullptr;            // child
  cNetworkAccessBackend* mNetwork = nullptr;              // child
  cEditHistoryBackend* mEditHistory = nullptr;            // child
  sEditorBackends mEditor;                                // children
  bool mEditorSet = false;
  double mWindowHScale = 1.0;
  double mWindowWScale = 1.0;
};
