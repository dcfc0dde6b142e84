#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "Common/FileSupport.h"

namespace {

constexpr int kTimeoutMs = 30000;
const QString kKeyHex = QStringLiteral("5e1c93a7d0428bf6e31a7c5904bd28e1");

struct sRun {
  int mExitCode = -1;
  QByteArray mOut;
  QByteArray mErr;
};

sRun Run(const QString& program, const QStringList& arguments, const QByteArray& input = QByteArray()) {
  sRun run;
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForStarted(kTimeoutMs)) {
    run.mErr = "could not start " + program.toLocal8Bit();
    return run;
  }
  process.write(input);
  process.closeWriteChannel();
  if (!process.waitForFinished(kTimeoutMs)) {
    process.kill();
    process.waitForFinished(kTimeoutMs);
    run.mErr = "timed out";
    return run;
  }
  run.mOut = process.readAllStandardOutput();
  run.mErr = process.readAllStandardError();
  run.mExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return run;
}

sRun Cli(const QStringList& arguments) { return Run(QStringLiteral(ORVEL_BIN_DIR "/orvel-cli"), arguments); }

// The independent implementation: OpenSSL's command line, Blowfish from its
// legacy provider, without padding of its own.
sRun OpenSsl(bool encrypt, const QByteArray& input) {
  QStringList arguments{"enc",   encrypt ? "-e" : "-d", "-bf-ecb", "-nopad",    "-K",
                        kKeyHex, "-provider",           "legacy",  "-provider", "default"};
  return Run(QStringLiteral("openssl"), arguments, input);
}

}  // namespace

class tst_cli_crypt : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    QVERIFY2(QFile::exists(ORVEL_BIN_DIR "/orvel-cli"), "orvel-cli is not built");
    const sRun probe = OpenSsl(true, QByteArray(8, '\0'));
    if (probe.mExitCode != 0 || probe.mOut.size() != 8) {
      mOpenSslMissing = "openssl with its legacy provider (Blowfish) is not usable here: " + probe.mErr.trimmed();
    }
  }

  void help() {
    const sRun run = Cli({"--help"});
    QCOMPARE(run.mExitCode, 0);
    QVERIFY(run.mOut.contains("encrypt IN OUT"));
    QVERIFY(run.mOut.contains("decrypt IN OUT"));
    QVERIFY(run.mErr.isEmpty());
  }

  void interoperatesWithOpenSsl_data() {
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 7, 8, 9, 15, 16, 1001}) QTest::newRow(qPrintable(QString("%1 bytes").arg(size))) << size;
  }
  void interoperatesWithOpenSsl() {
    QFETCH(int, size);
    if (!mOpenSslMissing.isEmpty()) QSKIP(mOpenSslMissing.constData());
    QRandomGenerator random(quint32(size) + 77);
    QByteArray plain;
    for (int i = 0; i < size; ++i) plain.append(char(random.bounded(256)));
    const QString tag = QString::number(size);
    const QString plainPath = mDir.filePath("plain" + tag);
    const QString cipherPath = mDir.filePath("cipher" + tag);
    const QString backPath = mDir.filePath("back" + tag);
    QVERIFY(WriteAll(plainPath, plain));

    // orvel-cli enciphers, OpenSSL deciphers.
    const sRun encrypt = Cli({"encrypt", plainPath, cipherPath});
    QVERIFY2(encrypt.mExitCode == 0, encrypt.mErr.constData());
    const QByteArray enciphered = ReadAll(cipherPath);
    QCOMPARE(enciphered.size(), (size + 7) / 8 * 8);
    if (size > 0) QVERIFY(enciphered != ZeroPadded(plain));
    const sRun opensslDecrypt = OpenSsl(false, enciphered);
    QVERIFY2(opensslDecrypt.mExitCode == 0, opensslDecrypt.mErr.constData());
    QCOMPARE(opensslDecrypt.mOut.toHex(), ZeroPadded(plain).toHex());

    // OpenSSL enciphers, orvel-cli deciphers.
    const sRun opensslEncrypt = OpenSsl(true, ZeroPadded(plain));
    QVERIFY2(opensslEncrypt.mExitCode == 0, opensslEncrypt.mErr.constData());
    QCOMPARE(opensslEncrypt.mOut.toHex(), enciphered.toHex());
    QVERIFY(WriteAll(cipherPath, opensslEncrypt.mOut));
    const sRun decrypt = Cli({"decrypt", cipherPath, backPath});
    QVERIFY2(decrypt.mExitCode == 0, decrypt.mErr.constData());
    QCOMPARE(ReadAll(backPath).toHex(), ZeroPadded(plain).toHex());
  }

  void errors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command") << QStringList{} << 2 << "Usage: orvel-cli COMMAND";
    QTest::newRow("unknown command") << QStringList{"shred", "a"} << 2 << "unknown command 'shred'";
    QTest::newRow("missing argument") << QStringList{"encrypt", "@odd"} << 2 << "usage: orvel-cli encrypt IN OUT";
    QTest::newRow("too many arguments") << QStringList{"decrypt", "@odd", "@out", "x"} << 2
                                        << "usage: orvel-cli decrypt IN OUT";
    QTest::newRow("length not a multiple of 8")
        << QStringList{"decrypt", "@odd", "@out"} << 1 << "Input file is incorrect size for decrpyting";
    QTest::newRow("missing input") << QStringList{"encrypt", "@missing", "@out"} << 1
                                   << "missing: No such file or directory";
    QTest::newRow("output below a regular file")
        << QStringList{"encrypt", "@odd", "@odd/out"} << 1 << "odd/out: Not a directory";
  }
  void errors() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString out = mDir.filePath("out");
    QVERIFY(WriteAll(mDir.filePath("odd"), "thirteen byte"));
    QVERIFY(WriteAll(out, "previous output"));
    for (QString& argument : arguments) {
      if (argument.startsWith('@')) argument = mDir.filePath(argument.mid(1));
    }
    const sRun run = Cli(arguments);
    QCOMPARE(run.mExitCode, exitCode);
    QVERIFY2(run.mErr.contains(message.toLocal8Bit()), run.mErr.constData());
    QVERIFY(run.mOut.isEmpty());
    // A failed command leaves an existing output file as it was.
    QCOMPARE(ReadAll(out), QByteArray("previous output"));
  }

 private:
  QTemporaryDir mDir;
  QByteArray mOpenSslMissing;
};

QTEST_GUILESS_MAIN(tst_cli_crypt)
#include "tst_cli_crypt.moc"
