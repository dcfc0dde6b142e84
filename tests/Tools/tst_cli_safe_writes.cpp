// Files are never lost: every command that writes a file, on a full file
// system, leaves the file that was there byte-identical and exits non-zero;
// FIFOs and devices are written in place, not replaced; links and
// permissions stay; standard output that cannot be written is a failure.

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <poll.h>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

#include "Tools/ConfigFiles.h"

namespace {

sRun RunCliWithOutputFile(const QStringList& arguments, const QString& outputFile) {
  QProcess cli;
  cli.setStandardOutputFile(outputFile);
  cli.start(kBin + "/orvel-cli", arguments);
  return FinishCli(cli);
}

bool IsCharacterDevice(const char* path) {
  struct stat status {};
  return ::lstat(path, &status) == 0 && S_ISCHR(status.st_mode);
}

}  // namespace

class tst_cli_safe_writes : public QObject {
  Q_OBJECT

  QTemporaryDir mDir;
  QString mConfig;  // a configuration file of the program's own
  QString mFilters;
  QByteArray mDefaults;

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    QRandomGenerator random(1811);
    mConfig = mDir.filePath("random.cfg");
    QVERIFY(SaveThroughProgram(RandomConfiguration(random), mConfig));
    mFilters = mDir.filePath("filters.txt");
    QFile filters(mFilters);
    QVERIFY(filters.open(QIODevice::WriteOnly));
    filters.write("Filter 1: ON PK Fc 1000 Hz Gain -3.0 dB Q 1.41\n");
    filters.close();
    const QString defaults = mDir.filePath("defaults.cfg");
    QCOMPARE(RunCli({"defaults", defaults}, QString()).mExit, 0);
    mDefaults = FileBytes(defaults);
    QVERIFY(!mDefaults.isEmpty());
  }

  // Each writing command against a file system with no space left: the old
  // file keeps every byte and no temporary file stays behind.
  void fullFileSystemKeepsTheOldFile() {
    if (::geteuid() != 0) QSKIP("mounting a small file system needs root; the /dev/full cases still run");
    const QString full = mDir.filePath("full");
    QVERIFY(QDir().mkpath(full));
    if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=256k") != 0) {
      QSKIP(qPrintable("tmpfs mount refused (" + QString::fromLocal8Bit(std::strerror(errno)) +
                       "); the /dev/full cases still run"));
    }
    struct Unmount {
      QByteArray mPath;
      ~Unmount() { ::umount2(mPath.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(full)};
    const QByteArray old = FileBytes(mConfig);
    const QStringList names = {"defaults.cfg", "create.cfg", "import.cfg", "encrypt.bin", "chart.png"};
    for (const QString& name : names) QVERIFY(QFile::copy(mConfig, full + "/" + name));
    {
      QFile filler(full + "/filler");
      QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
      const QByteArray block(4096, 'x');
      while (filler.write(block) == block.size()) {
      }
    }
    const QStringList before = QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const QList<QPair<QStringList, QByteArray>> commands = {
        {{"defaults", full + "/defaults.cfg"}, {}},
        {{"create", "-", full + "/create.cfg"}, R"({"strips": [{"index": 2, "gain_db": -3}]})"},
        {{"import", mFilters, "--into", mConfig, "--panel", "mid", "--side", "both", full + "/import.cfg"}, {}},
        {{"encrypt", mFilters, full + "/encrypt.bin"}, {}},
        {{"response", mConfig, "--png", full + "/chart.png"}, {}},
    };
    for (int i = 0; i < commands.size(); ++i) {
      const sRun run = RunCliWithInput(commands[i].first, commands[i].second);
      const QString command = commands[i].first.join(' ');
      QVERIFY2(run.mExit == 1, qPrintable(command + ": exit " + QString::number(run.mExit) + "\n" + run.mErr));
      QVERIFY2(run.mErr.contains("No space left on device"), qPrintable(command + "\n" + run.mErr));
      QVERIFY2(FileBytes(full + "/" + names[i]) == old, qPrintable(command));
    }
    QCOMPARE(QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
  }

  void standardOutputThatCannotBeWrittenFails_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("show") << QStringList{"show", "CONFIG"};
    QTest::newRow("show --json") << QStringList{"show", "CONFIG", "--json"};
    QTest::newRow("export rew") << QStringList{"export", "CONFIG", "--format", "rew"};
    QTest::newRow("response --csv") << QStringList{"response", "CONFIG", "--csv"};
    QTest::newRow("--help") << QStringList{"--help"};
  }
  void standardOutputThatCannotBeWrittenFails() {
    QFETCH(QStringList, arguments);
    arguments.replaceInStrings("CONFIG", mConfig);
    const sRun run = RunCliWithOutputFile(arguments, "/dev/full");
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains("orvel-cli: standard output: No space left on device"), qPrintable(run.mErr));
  }

  // As root the old writer renamed a regular file over /dev/full.
  void deviceIsWrittenInPlace() {
    const sRun run = RunCli({"defaults", "/dev/full"}, QString());
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains("/dev/full: No space left on device"), qPrintable(run.mErr));
    QVERIFY(IsCharacterDevice("/dev/full"));
  }

  void fifoIsWrittenInPlace() {
    const QString fifo = mDir.filePath("pipe");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QProcess cli;
    cli.start(kBin + "/orvel-cli", {"defaults", fifo});
    QVERIFY(cli.waitForStarted(5000));
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    bool writerSeen = false;
    while (timer.elapsed() < 15000) {
      pollfd poll{reader, POLLIN, 0};
      ::poll(&poll, 1, 100);
      char buffer[4096];
      const ssize_t got = ::read(reader, buffer, sizeof buffer);
      if (got > 0) {
        received.append(buffer, int(got));
        writerSeen = true;
      }
      // End of file once the writer has been and gone.
      if (got == 0 && (writerSeen || cli.state() == QProcess::NotRunning)) break;
    }
    ::close(reader);
    const sRun run = FinishCli(cli);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QCOMPARE(received, mDefaults);
    struct stat status {};
    QCOMPARE(::lstat(QFile::encodeName(fifo).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
  }

  // The link stays a link to the replaced file, which keeps its permissions.
  void linkAndPermissionsStay() {
    const QString target = mDir.filePath("kept.cfg");
    const QString link = mDir.filePath("link.cfg");
    QVERIFY(QFile::copy(mConfig, target));
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    QVERIFY(QFile::link(target, link));
    const sRun run = RunCli({"defaults", link}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(FileBytes(target), mDefaults);
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), 0640);
  }

  // A folder that is not writable is a failure that names the file.
  void unwritableFolderIsReported() {
    const sRun run = RunCli({"defaults", mDir.filePath("missing/folder/out.cfg")}, QString());
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains("missing/folder/out.cfg"), qPrintable(run.mErr));
  }
};

QTEST_GUILESS_MAIN(tst_cli_safe_writes)
#include "tst_cli_safe_writes.moc"
