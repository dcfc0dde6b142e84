#pragma once

#include <QObject>
#include <QString>

class QUndoStack;

// The editor's undo and redo (QML `EditHistoryBackend`). Every value a user
// changes on screen (a field, a fader, a switch, a list, a band dragged or
// widened on a graph) becomes one step; the changes made from one press of a
// mouse button to its release (a drag, any number of values) are one step
// together. Undo and redo set the values back as the screen sets them, so
// they reach the units and the processor as any edit does; values that come
// from the network (a recall, another peer) are not steps.
//
// The stack's clean state is the "unsaved changes" flag: clean after a save;
// a recall or a read-back replaces the settings, so it empties the stack too.
//
// GUI thread. Watches the application's mouse presses to tell drags apart.
class cEditHistoryBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool canUndo READ canUndo NOTIFY historyChanged)
  Q_PROPERTY(bool canRedo READ canRedo NOTIFY historyChanged)
  Q_PROPERTY(bool unsavedChanges READ unsavedChanges NOTIFY unsavedChangesChanged)

 public:
  // What a step changes: one value of one driver (key 0), or of one band of
  // a graph driver (key = band x 4 + field).
  struct sChange {
    QObject* mTarget;
    int mKey;
    int mFrom;
    int mTo;
  };

  explicit cEditHistoryBackend(QObject* parent = nullptr);
  ~cEditHistoryBackend() override;
  cEditHistoryBackend(const cEditHistoryBackend&) = delete;
  cEditHistoryBackend& operator=(const cEditHistoryBackend&) = delete;

  // Records the edits of every driver and graph driver among the backend's
  // Qt children. Once per backend, before the screen is loaded.
  void Track(QObject* backend);

  bool canUndo() const;
  bool canRedo() const;
  bool unsavedChanges() const;
  int StepCount() const;

  Q_INVOKABLE void undo();
  Q_INVOKABLE void redo();
  // A save holds what the screen shows now.
  Q_INVOKABLE void markSaved();
  // A recall or a read-back replaced the settings: nothing is unsaved, and
  // the steps before it no longer apply.
  Q_INVOKABLE void markReplaced();

  // A step's values, set as the screen sets them (the command's side).
  void Apply(const sChange& change, bool forward);

 signals:
  void historyChanged();
  void unsavedChangesChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Record(QObject* target, int key, int from, int to);

  QUndoStack* mStack;  // child
  // Counts presses; edits with the same non-zero count are one step.
  quint64 mGesture = 1;
  bool mPointerDown = false;
  // Set while a step is applied: the values it sets are not new steps.
  bool mApplying = false;
  bool mWasUnsaved = false;
};
