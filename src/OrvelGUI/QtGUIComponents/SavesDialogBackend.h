#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <deque>

#include "EWNet/Core/NetObjct.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

class cGuiThreadHandoff;

// Save, recall and sync requests to the saves manager, and the result of the
// last one this screen asked for, over parameters 4096-4098 (linked by name
// to the manager's through the system builder when it is made). The links go
// one way: the manager answers whoever asked, so results of requests from
// elsewhere (another object on the network, a remote peer) never reach this
// backend and never show as the user's.
//
// A recall is successful only once the processor holds it: after the
// manager has applied the file, the backend asks the serial connect driver
// (its parameter 4099, linked to the driver's delivery parameter 4101) to
// say when everything the recall sent has been written and acknowledged.
// The result is then SUCCESSFUL, FAILED (the link was lost, or the processor
// did not confirm it) or NOT_SENT (no processor was connected: the units
// hold the file, the processor does not).
//
// Threads: properties, signals, slots and invokables belong to the GUI
// thread; EntrypointMessage runs on the dispatch thread and queues the
// answers to the GUI thread, where they are matched to the requests. Create
// and delete it holding the registry lock while the dispatch thread runs.
class cSavesDialogBackend : public QObject, public cNetObject {
  Q_OBJECT
  Q_PROPERTY(bool buttonSave READ buttonSave WRITE setButtonSave NOTIFY buttonSaveChanged)
  Q_PROPERTY(bool buttonRecall READ buttonRecall WRITE setButtonRecall NOTIFY buttonRecallChanged)
  // The last result: true only for SUCCESSFUL.
  Q_PROPERTY(bool operationSuccess READ operationSuccess NOTIFY operationSuccessChanged)
  // The file name of the last recall asked for, decoded for showing.
  Q_PROPERTY(QString recallFileName READ recallFileName NOTIFY recallFileNameChanged)
  // Where the save and recall dialogs open: the folder of the last file
  // saved or recalled successfully (kept for the next start), else the
  // default save folder, else the home folder; one that exists when read.
  Q_PROPERTY(QUrl dialogFolder READ dialogFolder NOTIFY dialogFolderChanged)
  // Why the last save or recall failed, as far as the file system tells
  // (also at the end of resultText); empty after a success or when it tells
  // nothing. Set before operationSuccessChanged.
  Q_PROPERTY(QString failureReason READ failureReason NOTIFY operationSuccessChanged)
  // Which operation the last result belongs to, how it ended, and the line
  // the screens show for it ("Recall NAME Successful"; for a sync whose
  // records were not all plausible, the units that kept their own values).
  Q_PROPERTY(eOperation operation READ operation NOTIFY operationSuccessChanged)
  Q_PROPERTY(eOutcome outcome READ outcome NOTIFY operationSuccessChanged)
  Q_PROPERTY(QString resultText READ resultText NOTIFY operationSuccessChanged)

 public:
  enum eOperation : int { SAVE = 0, RECALL = 1, SYNC = 2 };
  Q_ENUM(eOperation)
  enum eOutcome : int { SUCCESSFUL = 0, FAILED = 1, NOT_SENT = 2 };
  Q_ENUM(eOutcome)

  // The QSettings key of the dialogs' folder.
  static constexpr const char* kFolderSetting = "dialogs/folder";

  static constexpr const char* kObjectName = "Saves Dialog Backend NetObject";
  static constexpr EW_NET_DATA_SCALE kParameterCount = 4;
  static constexpr EW_NET_DATA_SCALE kMethodDeliveryRequest = PARAMETER_BASE + 3;
  // Requests waiting for their answers; an older one beyond them is given up.
  static constexpr std::size_t kMaxPending = 8;

  explicit cSavesDialogBackend(QObject* parent = nullptr, const char* managerName = nullptr,
                               const char* linkDriverName = nullptr);
  ~cSavesDialogBackend() override;

  // Takes the net object off the network (registry lock); nothing arrives
  // afterwards. Safe to call more than once.
  void RemoveFromNetwork();

  bool buttonSave() const { return mButtonSave; }
  bool buttonRecall() const { return mButtonRecall; }
  bool operationSuccess() const { return mOutcome == SUCCESSFUL; }
  QString recallFileName() const { return mRecallFileName; }
  eOperation operation() const { return mOperation; }
  eOutcome outcome() const { return mOutcome; }
  QString resultText() const { return mResultText; }
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
  // Every result of a request of this backend, also one equal to the last.
  void operationSuccessChanged();
  void recallFileNameChanged();
  void dialogFolderChanged();

 private:
  struct sOperation {
    eOperation mKind;
    QString mFileName;
    QString mPath;          // local file
    bool mApplied = false;  // a recall the manager applied, waiting for the processor
  };

  bool SendPath(EW_NET_DATA_SCALE method, const QUrl& url);
  void Send(EW_NET_DATA_SCALE method, const QByteArray& payload);
  void RememberFolder(const QString& path);
  void Begin(eOperation kind, const QString& fileName, const QString& path);
  // `detail`: why a save or recall failed, shown after "Failed: "; for a
  // sync, the units that kept their own values.
  void Finish(const sOperation& operation, eOutcome outcome, const QString& detail = QString());
  static QString UnsendableReason(const QUrl& url);
  // `detail`: what the manager said beside the result (the units a sync left
  // with their own values).
  void ApplyManagerAnswer(eOperation kind, bool success, const QString& detail);
  void ApplyDelivery(UBYTE outcome);
  bool HasLink(EW_NET_DATA_SCALE method) const;
  void AssertGuiThread() const;

  // Decoded values on their way from the dispatch thread (child).
  cGuiThreadHandoff* mToGui;
  // GUI thread.
  std::deque<sOperation> mPending;
  eOperation mOperation = RECALL;
  eOutcome mOutcome = SUCCESSFUL;
  QString mResultText;
  bool mButtonSave = false;
  bool mButtonRecall = false;
  QString mRecallFileName;
  QString mFolder;
  QString mFailureReason;
  // Dispatch thread: only the linked object may set what is shown.
  cLinkedSourceGuard mSources;
};
