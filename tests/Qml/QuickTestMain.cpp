// Runner of the QML component tests (tst_*.qml beside this file): the
// program's types, resources, font and singletons, as the application sets
// them up, for components loaded alone with plain values.

#include <QQmlEngine>
#include <QtQuickTest>
#include <memory>

#include "QmlFixture.h"

class cQuickTestSetup : public QObject {
  Q_OBJECT

 public slots:
  void applicationAvailable() {
    SetUpOrvelQml();
    mTheme = std::make_unique<cThemeColours>();
    mFonts = std::make_unique<cFontStyles>();
    mSettings = std::make_unique<cUISettings>();
    mInterpreter = std::make_unique<cQmlValueInterpreterSingleton>();
  }
  void qmlEngineAvailable(QQmlEngine* engine) { engine->addImportPath(QStringLiteral("qrc:/")); }
  void cleanupTestCase() {
    mInterpreter.reset();
    mSettings.reset();
    mFonts.reset();
    mTheme.reset();
  }

 private:
  std::unique_ptr<cThemeColours> mTheme;
  std::unique_ptr<cFontStyles> mFonts;
  std::unique_ptr<cUISettings> mSettings;
  std::unique_ptr<cQmlValueInterpreterSingleton> mInterpreter;
};

QUICK_TEST_MAIN_WITH_SETUP(orvel_qml, cQuickTestSetup)

#include "QuickTestMain.moc"
