#include <QtTest>
#include <cmath>
#include <cstdint>

#include "OrvelGUI/Core/Blowfish.h"
#include "OrvelGUI/Core/BlowfishTables.h"
#include "TestSupport.h"

namespace {

QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

QByteArray Cipher(const QByteArray& key, QByteArray block, bool encipher) {
  const cBlowfish cipher(reinterpret_cast<const UBYTE*>(key.constData()), std::size_t(key.size()));
  UBYTE* bytes = reinterpret_cast<UBYTE*>(block.data());
  encipher ? cipher.EncipherBlock(bytes) : cipher.DecipherBlock(bytes);
  return block;
}

QByteArray Encipher(const QByteArray& key, const QByteArray& plain) { return Cipher(key, plain, true); }
QByteArray Decipher(const QByteArray& key, const QByteArray& enciphered) { return Cipher(key, enciphered, false); }

// Digit extraction (Bailey-Borwein-Plouffe): the fraction of 16^position * pi,
// independent of the series the table generator sums.
std::uint64_t PowMod16(std::uint64_t exponent, std::uint64_t modulus) {
  std::uint64_t result = 1 % modulus;
  std::uint64_t base = 16 % modulus;
  while (exponent > 0) {
    if (exponent & 1) result = result * base % modulus;
    base = base * base % modulus;
    exponent >>= 1;
  }
  return result;
}

long double SeriesFraction(int j, std::uint64_t position) {
  long double sum = 0.0L;
  for (std::uint64_t k = 0; k <= position; ++k) {
    const std::uint64_t denominator = 8 * k + std::uint64_t(j);
    sum += static_cast<long double>(PowMod16(position - k, denominator)) / denominator;
    sum -= std::floor(sum);
  }
  long double term = 1.0L / 16.0L;
  for (std::uint64_t k = position + 1; term > 1e-30L; ++k, term /= 16.0L) sum += term / (8 * k + std::uint64_t(j));
  return sum - std::floor(sum);
}

// The 32-bit word of pi's hexadecimal fraction starting at digit 8 * index.
ULONG PiWord(std::uint64_t index) {
  const std::uint64_t position = 8 * index;
  long double fraction = 4 * SeriesFraction(1, position) - 2 * SeriesFraction(4, position) -
                         SeriesFraction(5, position) - SeriesFraction(6, position);
  fraction -= std::floor(fraction);
  return static_cast<ULONG>(std::floor(fraction * 4294967296.0L));
}

}  // namespace

class tst_Blowfish : public QObject {
  Q_OBJECT

 private slots:
  // The published ECB test vectors with 8-byte keys.
  void publishedVectors_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");
    static const char* const kVectors[][3] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
        {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
        {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
        {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
        {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
        {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
        {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
        {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
        {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
        {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
        {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
        {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
        {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
        {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
        {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
        {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
        {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
        {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
        {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
        {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
        {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const auto& vector : kVectors) {
      QTest::newRow(vector[0]) << Hex(vector[0]) << Hex(vector[1]) << Hex(vector[2]);
    }
  }
  void publishedVectors() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);
    QCOMPARE(Encipher(key, plain).toHex(), cipher.toHex());
    QCOMPARE(Decipher(key, cipher).toHex(), plain.toHex());
  }

  // The published key-schedule vectors: keys of 1 to 24 bytes taken from the
  // front of one long key, all enciphering the same block.
  void variableKeyLengths_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("cipher");
    static const char* const kCiphers[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05", "B39E44481BDB1E6E",
        "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82", "15750E7A4F4EC577", "122BA70B3AB64AE0",
        "3A833C9AFFC537F6", "9409DA87A90F6BF2", "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F",
        "93142887EE3BE15C", "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (int length = 1; length <= 24; ++length) {
      QTest::newRow(qPrintable(QString("%1 bytes").arg(length))) << length << Hex(kCiphers[length - 1]);
    }
  }
  void variableKeyLengths() {
    QFETCH(int, length);
    QFETCH(QByteArray, cipher);
    const QByteArray key = Hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677").left(length);
    const QByteArray plain = Hex("FEDCBA9876543210");
    QCOMPARE(Encipher(key, plain).toHex(), cipher.toHex());
    QCOMPARE(Decipher(key, cipher).toHex(), plain.toHex());
  }

  void badKeyLengthReported_data() {
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("73 bytes") << 73;
  }
  void badKeyLengthReported() {
    QFETCH(int, length);
    const QByteArray key(80, '\x42');
    cReportCapture reports;
    const cBlowfish cipher(reinterpret_cast<const UBYTE*>(key.constData()), std::size_t(length));
    QCOMPARE(reports.Count("is not between 1 and 72"), 1);
  }

  // The initial tables are pi's hexadecimal fraction; every word of P and of
  // the S-boxes is recomputed by digit extraction.
  void tablesAreDigitsOfPi() {
    std::vector<ULONG> table(kBlowfishInitialP.begin(), kBlowfishInitialP.end());
    for (const auto& box : kBlowfishInitialS) table.insert(table.end(), box.begin(), box.end());
    QCOMPARE(table.size(), std::size_t(18 + 4 * 256));
    for (std::size_t i = 0; i < table.size(); ++i) {
      const ULONG word = PiWord(i);
      QVERIFY2(word == table[i], qPrintable(QString("word %1: table %2, pi %3")
                                                .arg(i)
                                                .arg(table[i], 8, 16, QChar('0'))
                                                .arg(word, 8, 16, QChar('0'))));
    }
    QCOMPARE(kBlowfishInitialP[0], ULONG(0x243F6A88));
  }
};

QTEST_GUILESS_MAIN(tst_Blowfish)
#include "tst_Blowfish.moc"
