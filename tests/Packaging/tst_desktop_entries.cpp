// The menu entries belong to the programs' windows: each program names its
// own entry (Wayland's application id), and the entry names the program's
// command (X11's WM_CLASS instance, argv[0]) and an icon that exists.

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QtTest>

#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Application/OrvelProgram.h"

namespace {

const QString kPackaging = QStringLiteral(ORVEL_SOURCE_DIR "/packaging");

// The [Desktop Entry] group's keys; empty when the file cannot be read.
QMap<QString, QString> ReadDesktopEntry(const QString& path) {
  QMap<QString, QString> keys;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
  bool inEntry = false;
  for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
    if (line.startsWith('[')) inEntry = line == "[Desktop Entry]";
    const int equals = line.indexOf('=');
    if (inEntry && equals > 0) keys[line.left(equals).trimmed()] = line.mid(equals + 1).trimmed();
  }
  return keys;
}

}  // namespace

class tst_desktop_entries : public QObject {
  Q_OBJECT

 private slots:
  void entryOfEachProgram_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("desktopFileName");
    const sOrvelProgramOptions loader;
    const sOrvelProgramOptions editor = OrvelEditorProgramOptions();
    QTest::newRow("loader") << loader.mCommandName << loader.mDesktopFileName;
    QTest::newRow("editor") << editor.mCommandName << editor.mDesktopFileName;
  }
  void entryOfEachProgram() {
    QFETCH(QString, command);
    QFETCH(QString, desktopFileName);
    const QString path = kPackaging + "/" + desktopFileName + ".desktop";
    const QMap<QString, QString> entry = ReadDesktopEntry(path);
    QVERIFY2(!entry.isEmpty(), qPrintable(path));
    QCOMPARE(entry.value("Exec"), command);
    QCOMPARE(entry.value("StartupWMClass"), command);
    QCOMPARE(entry.value("Categories"), QString("AudioVideo;Audio;"));
    const QString icon = entry.value("Icon");
    QVERIFY(QFileInfo::exists(kPackaging + "/icons/hicolor/scalable/apps/" + icon + ".svg"));
    for (const char* size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
      QVERIFY2(QFileInfo::exists(kPackaging + "/icons/hicolor/" + size + "/apps/" + icon + ".png"), size);
    }
    // The AppStream description launches both programs.
    QFile metainfo(kPackaging + "/com.tessmark.OrvelLoader.metainfo.xml.in");
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    QVERIFY(metainfo.readAll().contains(
        QString("<launchable type=\"desktop-id\">" + desktopFileName + ".desktop</launchable>").toUtf8()));
  }
};

QTEST_GUILESS_MAIN(tst_desktop_entries)
#include "tst_desktop_entries.moc"
