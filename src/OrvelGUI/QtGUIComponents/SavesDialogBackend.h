#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include "EWNet/Core/NetObjct.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

class cGuiThreadHandoff;

// Save, recall and sync requests to the saves manager, and the result of the
// last one, over parameters 4096-4098 (linked by name through the system
// builder when it is made).
//
// Threads: properties, signals, slots and invokables belong to the GUI
// thread; EntrypointMessage runs on the dispatch thread and queues the
// result to the GUI thread. Create and delete it holding the registry lock
// while the dispatch thread runs.
class cSavesDialogBackend : public QObject, public cNetObject {
  Q_OBJECT
  Q_PROPERTY(bool buttonSave READ buttonSave WRITE setButtonSave NOTIFY buttonSaveChanged)
  Q_PROPERTY(bool buttonRecall READ buttonRecall WRITE setButtonRecall NOTIFY buttonRecallChanged)
  Q_PROPERTY(bool operationSuccess READ operationSuccess NOTIFY operationSuccessChanged)
  // The file name of the last recall, decoded for showing.
  Q_PROPERTY(QString recallFileName READ recallFileName NOTIFY recallFileNameChanged)
  // Where the save and recall dialogs open: the folder of the last file
  // saved or recalled successfully (kept for the next start), else the
  // default save folder, else the home folder; one that exists when read.
  Q_PROPERTY(QUrl dialogFolder READ dialogFolder NOTIFY dialogFolderChanged)
  // Why the last save or recall failed, as far as the file system tells;
  // empty after a success or when it tells nothing. Set before
  // operationSuccessChanged.
  Q_PROPERTY(QString failureReason READ failureReason NOTIFY operationSuccessChanged)

 public:
  static constexpr const char* kObjectName = "Saves Dialog Backend NetObject";
  static constexpr EW_NET_DATA_SCALE kParameterCount = 3;
  // The QSettings key of the dialogs' folder.
  static constexpr const char* kFolderSetting = "dialogs/folder";

  explicit cSavesDialogBackend(QObject* parent = nullptr, const char* managerName = nullptr);
  ~cSavesDialogBackend() override;

  // Takes the net object off the network (registry lock); nothing arrives
  // afterwards. Safe to call more than once.
  void RemoveFromNetwork();

  bool buttonSave() const { return mButtonSave; }
  bool buttonRecall() const { return mButtonRecall; }
  bool operationSuccess() const { return mOperationSuccess; }
  QString recallFileName() const { return mRecallFileName; }
  QUrl dialogFolder() const;
  QString failureReason() const { return mFailureReason; }

  Q_INVOKABLE void saveConfig(const QUrl& url);
  Q_INVOKABLE void recallConfig(const QUrl& url);
  Q_INVOKABLE void syncDevice();

  void EntrypointMessage(cEWNetMessage& message) override;

 public slots:
  void setButtonSave(bool State);
  void setButtonRecall(bool State);

 signals:
  void buttonSaveChanged();
  void buttonRecallChanged();
  // Every result, also one equal to the last.
  void operationSuccessChanged();
  void recallFileNameChanged();
  void dialogFolderChanged();

 private:
  void SendPath(EW_NET_DATA_SCALE method, const QUrl& url);
  void Send(EW_NET_DATA_SCALE method, const QByteArray& payload);
  void RememberFolder(const QString& path);
  // `method`: what the result answers; the reason of a failure follows it.
  void ApplyResult(EW_NET_DATA_SCALE method, bool success);
  void AssertGuiThread() const;

  // Decoded values on their way from the dispatch thread (child).
  cGuiThreadHandoff* mToGui;
  // GUI thread.
  bool mOperationSuccess = true;
  bool mButtonSave = false;
  bool mButtonRecall = false;
  QString mRecallFileName;
  QString mFolder;
  // The files of the last save and recall requests, for their reasons.
  QString mSavePath;
  QString mRecallPath;
  QString mFailureReason;
  // Dispatch thread: only the linked object may set what is shown.
  cLinkedSourceGuard mSources;
};
