#pragma once

#include <QColor>
#include <QObject>

// Switches of the widget library that the program may set (`UISettings` of
// module UISettingsSingleton). GUI thread.
class cUISettings : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool enableDisplayAsConnected READ enableDisplayAsConnected WRITE setEnableDisplayAsConnected NOTIFY
                 enableDisplayAsConnectedChanged)
  Q_PROPERTY(QColor listboxBackGroundColour READ listboxBackGroundColour WRITE setListboxBackGroundColour NOTIFY
                 listboxBackGroundColourChanged)

 public:
  explicit cUISettings(QObject* parent = nullptr);
  ~cUISettings() override;
  cUISettings(const cUISettings&) = delete;
  cUISettings& operator=(const cUISettings&) = delete;

  // The application's instance; null, with a report, before it exists.
  static cUISettings* Instance();

  bool enableDisplayAsConnected() const { return mEnableDisplayAsConnected; }
  QColor listboxBackGroundColour() const { return mListboxBackGroundColour; }

 public slots:
  void setEnableDisplayAsConnected(bool enable);
  void setListboxBackGroundColour(const QColor& colour);

 signals:
  void enableDisplayAsConnectedChanged();
  void listboxBackGroundColourChanged();

 private:
  bool mEnableDisplayAsConnected = false;
  QColor mListboxBackGroundColour{42, 42, 42};
};
