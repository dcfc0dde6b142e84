#include "OrvelGUI/Config/ConfigDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <initializer_list>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/NearestCode.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace configjson {
namespace {

const char* const kSides[2] = {"left", "right"};

QString Number(double value) { return QString::number(value, 'g', 10); }

// One JSON object of the document and its path; remembers the first failure.
class cObjectReader {
 public:
  cObjectReader(const QJsonObject& object, QString path, QString& error)
      : mObject(object), mPath(std::move(path)), mError(error) {}

  QString Path(const QString& key) const { return mPath.isEmpty() ? key : mPath + "." + key; }
  bool Has(const char* key) const { return mObject.contains(QLatin1String(key)); }
  QJsonValue Value(const char* key) const { return mObject.value(QLatin1String(key)); }

  bool Fail(const QString& key, const QString& what) {
    if (mError.isEmpty()) mError = Path(key) + ": " + what;
    return false;
  }

  bool OnlyKeys(std::initializer_list<const char*> known) {
    for (auto it = mObject.begin(); it != mObject.end(); ++it) {
      bool found = false;
      for (const char* key : known) found = found || it.key() == QLatin1String(key);
      if (!found) return Fail(it.key(), "unknown key");
    }
    return true;
  }

  bool Boolean(const char* key, bool& out) {
    if (!Has(key)) return true;
    if (!Value(key).isBool()) return Fail(key, "expected true or false");
    out = Value(key).toBool();
    return true;
  }

  // A stored code: a whole number within [lowest, highest].
  template <typename T>
  bool Code(const char* key, double lowest, double highest, T& out) {
    if (!Has(key)) return true;
    const QJsonValue value = Value(key);
    const double number = value.toDouble();
    if (!value.isDouble() || std::floor(number) != number) return Fail(key, "expected a whole number");
    if (number < lowest || number > highest) {
      return Fail(key, Number(number) + " is out of range (" + Number(lowest) + " .. " + Number(highest) + ")");
    }
    out = static_cast<T>(static_cast<qint64>(number));
    return true;
  }

  // A value in its unit, turned into the nearest code by `convert`.
  template <typename T, typename tConvert>
  bool InUnit(const char* key, const QString& span, tConvert convert, T& out) {
    if (!Has(key)) return true;
    if (!Value(key).isDouble()) return Fail(key, "expected a number");
    const double number = Value(key).toDouble();
    if (!convert(number, out)) return Fail(key, Number(number) + " is out of range (" + span + ")");
    return true;
  }

  // A code or, when the code is left out, its name.
  bool Named(const char* codeKey, const char* nameKey, int count, const char* (*nameOf)(ULONG), ULONG& out) {
    if (Has(codeKey)) return Code(codeKey, 0, count - 1, out);
    if (!Has(nameKey)) return true;
    const QString name = Value(nameKey).toString();
    for (int i = 0; i < count; ++i) {
      if (name == QLatin1String(nameOf(ULONG(i)))) {
        out = ULONG(i);
        return true;
      }
    }
    QStringList names;
    for (int i = 0; i < count; ++i) names << QString("\"%1\"").arg(nameOf(ULONG(i)));
    return Fail(nameKey, "expected one of " + names.join(", "));
  }

  bool Frequency(UWORD& out) {
    if (Has("frequency")) return Code("frequency", 0, 65535, out);
    const QString span = Number(UWORDToFrequency(0)) + " .. " + Number(UWORDToFrequency(65535)) + " Hz";
    return InUnit("frequency_hz", span, nearestcode::Frequency, out);
  }

  // A gain; `fader`: null means minus infinity.
  bool Gain(bool fader, GAIN& out) {
    if (Has("gain")) return Code("gain", -32768, 32767, out);
    if (fader && Has("gain_db") && Value("gain_db").isNull()) {
      out = kGainMinusInfinity;
      return true;
    }
    return InUnit("gain_db", "-128 .. 127.996 dB", nearestcode::Gain, out);
  }

  // The code, else the table Q, else the Q the bell realises at its gain,
  // variant and frequency (which are read first).
  bool Width(GAIN gain, UBYTE variant, UWORD frequency, UWORD& out) {
    if (Has("width")) return Code("width", 0, 65535, out);
    if (Has("q") || !Has("realised_q")) {
      const QString span = Number(biquad::QFromWidth(0)) + " .. " + Number(biquad::QFromWidth(0xFFFF));
      return InUnit("q", span, nearestcode::WidthOfQ, out);
    }
    return InUnit(
        "realised_q", "above 0",
        [gain, variant, frequency](double q, UWORD& width) {
          return biquad::WidthOfRealisedBellQ(q, gain, variant, frequency, width);
        },
        out);
  }

  bool Delay(const char* codeKey, const char* msKey, UWORD& out) {
    if (Has(codeKey)) return Code(codeKey, 0, 65535, out);
    const QString span = "0 .. " + Number(UWORDToTime(65535) * 1000.0) + " ms";
    return InUnit(
        msKey, span, [](double ms, UWORD& code) { return nearestcode::Time(ms / 1000.0, code); }, out);
  }

  // A fixed text: the name of a strip or panel, the side of an equaliser.
  bool Expect(const char* key, const QString& expected) {
    if (Has(key) && Value(key).toString() != expected) return Fail(key, "expected \"" + expected + "\"");
    return true;
  }

  bool Object(const char* key, QJsonObject& out) {
    if (!Has(key)) return true;
    if (!Value(key).isObject()) return Fail(key, "expected an object");
    out = Value(key).toObject();
    return true;
  }

  bool Array(const char* key, int count, QJsonArray& out) {
    if (!Has(key)) return true;
    if (!Value(key).isArray() || Value(key).toArray().size() != count) {
      return Fail(key, "expected an array of " + QString::number(count) + " objects");
    }
    out = Value(key).toArray();
    for (int i = 0; i < count; ++i) {
      if (!out.at(i).isObject()) return Fail(key + QString("[%1]").arg(i), "expected an object");
    }
    return true;
  }

 private:
  QJsonObject mObject;
  QString mPath;
  QString& mError;
};

QString ElementPath(const QString& path, int index) { return path + "[" + QString::number(index) + "]"; }

bool DecodePassFilter(const QJsonObject& object, const QString& path, QString& error, sPassFilterConfiguration& out) {
  cObjectReader r(object, path, error);
  return r.OnlyKeys({"frequency", "frequency_hz", "slope", "slope_name", "bypass"}) && r.Frequency(out.mFrequency) &&
         r.Named("slope", "slope_name", biquad::kSlopeCount, biquad::SlopeName, out.mSlope) &&
         r.Boolean("bypass", out.mBypass);
}

bool DecodeBand(const QJsonObject& object, const QString& path, QString& error, sBandConfiguration& out) {
  cObjectReader r(object, path, error);
  return r.OnlyKeys({"frequency", "frequency_hz", "width", "q", "realised_q", "gain", "gain_db", "type", "type_name",
                     "variant", "bypass"}) &&
         r.Frequency(out.mFrequency) && r.Gain(false, out.mGain) &&
         r.Named("type", "type_name", biquad::kBandTypeCount, biquad::BandTypeName, out.mType) &&
         r.Code("variant", 0, 255, out.mVariant) && r.Width(out.mGain, out.mVariant, out.mFrequency, out.mWidth) &&
         r.Boolean("bypass", out.mBypass);
}

bool DecodeEQ(const QJsonObject& object, const QString& path, int side, QString& error, sEQConfiguration& out) {
  cObjectReader r(object, path, error);
  QJsonArray bands;
  const int count = int(out.mBands.size());
  if (!r.OnlyKeys({"side", "bypass", "bands"}) || !r.Expect("side", kSides[side]) ||
      !r.Boolean("bypass", out.mBypass) || !r.Array("bands", count, bands)) {
    return false;
  }
  for (int b = 0; b < bands.size(); ++b) {
    if (!DecodeBand(bands.at(b).toObject(), ElementPath(r.Path("bands"), b), error, out.mBands[std::size_t(b)])) {
      return false;
    }
  }
  return true;
}

// With the gang on, the right equaliser starts from the left one's linked
// parameters: the EQ bypass, the types of the first and last band (the
// shelf switches) and every band's frequency, width, gain and bypass.
void FollowLeft(const sEQConfiguration& left, sEQConfiguration& right) {
  right.mBypass = left.mBypass;
  const std::size_t n = left.mBands.size();
  for (std::size_t b = 0; b < n; ++b) {
    const sBandConfiguration& l = left.mBands[b];
    sBandConfiguration& r = right.mBands[b];
    r.mFrequency = l.mFrequency;
    r.mWidth = l.mWidth;
    r.mGain = l.mGain;
    r.mBypass = l.mBypass;
    if (b == 0 || b + 1 == n) r.mType = l.mType;
  }
}

// The first linked parameter in which the right equaliser differs from the left.
QString LinkedDifference(const sEQConfiguration& left, const sEQConfiguration& right) {
  if (left.mBypass != right.mBypass) return "bypass";
  const std::size_t n = left.mBands.size();
  for (std::size_t b = 0; b < n; ++b) {
    const sBandConfiguration& l = left.mBands[b];
    const sBandConfiguration& r = right.mBands[b];
    const QString band = ElementPath("bands", int(b)) + ".";
    if (l.mFrequency != r.mFrequency) return band + "frequency";
    if (l.mWidth != r.mWidth) return band + "width";
    if (l.mGain != r.mGain) return band + "gain";
    if (l.mBypass != r.mBypass) return band + "bypass";
    if ((b == 0 || b + 1 == n) && l.mType != r.mType) return band + "type";
  }
  return QString();
}

bool DecodePanel(const QJsonObject& object, const QString& path, int index, QString& error,
                 sPanelConfiguration& panel) {
  cObjectReader r(object, path, error);
  QJsonObject highPass, lowPass, delay;
  QJsonArray eqs;
  if (!r.OnlyKeys({"name", "high_pass", "low_pass", "delay", "eq", "gang"}) ||
      !r.Expect("name", QString::fromLatin1(PanelName(index))) || !r.Object("high_pass", highPass) ||
      !r.Object("low_pass", lowPass) || !r.Object("delay", delay) || !r.Array("eq", 2, eqs) ||
      !r.Boolean("gang", panel.mGang) || !DecodePassFilter(highPass, r.Path("high_pass"), error, panel.mHighPass) ||
      !DecodePassFilter(lowPass, r.Path("low_pass"), error, panel.mLowPass)) {
    return false;
  }
  cObjectReader rd(delay, r.Path("delay"), error);
  if (!rd.OnlyKeys({"left", "right", "left_ms", "right_ms", "gang"}) ||
      !rd.Delay("left", "left_ms", panel.mDelay.mLeft) || !rd.Delay("right", "right_ms", panel.mDelay.mRight) ||
      !rd.Code("gang", 0, 1, panel.mDelay.mGang)) {
    return false;
  }
  if (!DecodeEQ(eqs.at(0).toObject(), ElementPath(r.Path("eq"), 0), 0, error, panel.mEQ[0])) return false;
  if (panel.mGang) FollowLeft(panel.mEQ[0], panel.mEQ[1]);
  if (!DecodeEQ(eqs.at(1).toObject(), ElementPath(r.Path("eq"), 1), 1, error, panel.mEQ[1])) return false;
  if (panel.mGang) {
    const QString differing = LinkedDifference(panel.mEQ[0], panel.mEQ[1]);
    if (!differing.isEmpty()) {
      return cObjectReader(QJsonObject(), ElementPath(r.Path("eq"), 1), error)
          .Fail(differing, "differs from the left equaliser while the gang is on (the right one follows the left)");
    }
  }
  return true;
}

}  // namespace

bool ParseDocument(const QByteArray& text, QJsonObject& document, QString& error) {
  QJsonParseError parse{};
  const QJsonDocument json = QJsonDocument::fromJson(text, &parse);
  if (parse.error != QJsonParseError::NoError) {
    const QByteArray before = text.left(parse.offset);
    const int line = before.count('\n') + 1;
    const int column = parse.offset - (before.lastIndexOf('\n') + 1) + 1;
    error = QString("line %1, column %2: %3").arg(line).arg(column).arg(parse.errorString());
    return false;
  }
  if (!json.isObject()) {
    error = "expected a JSON object at the top";
    return false;
  }
  document = json.object();
  return true;
}

bool DecodeOver(const QJsonObject& document, sConfiguration& configuration, QString& error) {
  error.clear();
  sConfiguration decoded = configuration;
  cObjectReader top(document, QString(), error);
  int version = kVersion;
  QJsonArray strips, panels;
  if (!top.OnlyKeys({"format", "version", "strips", "panels"}) || !top.Expect("format", kFormat) ||
      !top.Code("version", kVersion, kVersion, version) || !top.Array("strips", 8, strips) ||
      !top.Array("panels", 3, panels)) {
    return false;
  }
  for (int i = 0; i < strips.size(); ++i) {
    sStripConfiguration& strip = decoded.mStrips[std::size_t(i)];
    cObjectReader r(strips.at(i).toObject(), ElementPath("strips", i), error);
    if (!r.OnlyKeys({"name", "mute", "polarity", "gain", "gain_db"}) || !r.Expect("name", strip.mName) ||
        !r.Boolean("mute", strip.mMute) || !r.Boolean("polarity", strip.mPolarity) || !r.Gain(true, strip.mGain)) {
      return false;
    }
  }
  for (int i = 0; i < panels.size(); ++i) {
    if (!DecodePanel(panels.at(i).toObject(), ElementPath("panels", i), i, error, decoded.mPanels[std::size_t(i)])) {
      return false;
    }
  }
  configuration = decoded;
  return true;
}

}  // namespace configjson
