#include "OrvelGUI/Config/ConfigDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/NearestCode.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace configjson {
namespace {

const char* const kSides[2] = {"left", "right"};

QString Number(double value) { return QString::number(value, 'g', 10); }

// An entry of an array and the thing it stands for.
struct sEntry {
  int mIndex;
  QJsonObject mObject;
  QString mPath;
};

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

  // A value given by its code, its unit or both. Both must name the same
  // code, or the unit value must be the code's own value: a document edited
  // in one of the two would otherwise keep the other silently.
  template <typename T, typename tConvert, typename tDecode>
  bool CodeOrUnit(const char* codeKey, const char* unitKey, double lowest, double highest, const QString& span,
                  tConvert convert, tDecode decode, T& out) {
    if (!Has(codeKey)) return InUnit(unitKey, span, convert, out);
    if (!Code(codeKey, lowest, highest, out)) return false;
    T fromUnit = out;
    if (!InUnit(unitKey, span, convert, fromUnit)) return false;
    if (!Has(unitKey) || fromUnit == out) return true;
    const double given = Value(unitKey).toDouble();
    const double coded = decode(out);
    if (std::isfinite(coded) && std::fabs(given - coded) <= 1e-9 * std::max(1.0, std::fabs(coded))) return true;
    return Disagree(codeKey, unitKey, Number(given), QString::number(double(out), 'f', 0), Number(coded));
  }

  bool Disagree(const char* codeKey, const char* unitKey, const QString& given, const QString& code,
                const QString& meaning) {
    return Fail(unitKey, given + " does not agree with " + Path(codeKey) + " " + code + " (" + meaning +
                             "); give one of the two, or both for the same value");
  }

  // A code or its name, or both for the same entry.
  bool Named(const char* codeKey, const char* nameKey, int count, const char* (*nameOf)(ULONG), ULONG& out) {
    if (!Code(codeKey, 0, count - 1, out)) return false;
    if (!Has(nameKey)) return true;
    const QString name = Value(nameKey).toString();
    for (int i = 0; i < count; ++i) {
      if (Value(nameKey).isString() && name == QLatin1String(nameOf(ULONG(i)))) {
        if (Has(codeKey) && out != ULONG(i)) {
          return Disagree(codeKey, nameKey, "\"" + name + "\"", QString::number(out), nameOf(out));
        }
        out = ULONG(i);
        return true;
      }
    }
    QStringList names;
    for (int i = 0; i < count; ++i) names << QString("\"%1\"").arg(nameOf(ULONG(i)));
    return Fail(nameKey, "expected one of " + names.join(", "));
  }

  bool Frequency(UWORD& out) {
    const QString span = Number(UWORDToFrequency(0)) + " .. " + Number(UWORDToFrequency(65535)) + " Hz";
    return CodeOrUnit(
        "frequency", "frequency_hz", 0, 65535, span, nearestcode::Frequency,
        [](UWORD code) { return UWORDToFrequency(code); }, out);
  }

  // A gain; `fader`: null means minus infinity.
  bool Gain(bool fader, GAIN& out) {
    const bool silent = fader && Has("gain_db") && Value("gain_db").isNull();
    if (silent) {
      if (Has("gain") && !Code("gain", -32768, 32767, out)) return false;
      if (Has("gain") && out != kGainMinusInfinity) {
        return Disagree("gain", "gain_db", "null (minus infinity)", QString::number(out),
                        Number(out * biquad::kGainStep) + " dB");
      }
      out = kGainMinusInfinity;
      return true;
    }
    return CodeOrUnit(
        "gain", "gain_db", -32768, 32767, "-128 .. 127.996 dB", nearestcode::Gain,
        [fader](GAIN code) { return fader && code == kGainMinusInfinity ? -INFINITY : code * biquad::kGainStep; }, out);
  }

  // A bell's width by its code, its table Q or the Q its curve realises at
  // its gain, variant and frequency (which are read first); any of them
  // given together must name the same code, as for every other value.
  bool Width(GAIN gain, UBYTE variant, UWORD frequency, UWORD& out) {
    const QString span = Number(biquad::QFromWidth(0)) + " .. " + Number(biquad::QFromWidth(0xFFFF));
    if (!CodeOrUnit(
            "width", "q", 0, 65535, span, nearestcode::WidthOfQ, [](UWORD code) { return biquad::QFromWidth(code); },
            out)) {
      return false;
    }
    if (!Has("realised_q")) return true;
    const auto convert = [gain, variant, frequency](double q, UWORD& width) {
      return biquad::WidthOfRealisedBellQ(q, gain, variant, frequency, width);
    };
    UWORD fromRealised = out;
    if (!InUnit("realised_q", "above 0", convert, fromRealised)) return false;
    if (!Has("width") && !Has("q")) {
      out = fromRealised;
      return true;
    }
    if (fromRealised == out) return true;
    const double given = Value("realised_q").toDouble();
    const double coded = biquad::RealisedBellQOfWidth(out, gain, variant, frequency);
    if (std::isfinite(coded) && std::fabs(given - coded) <= 1e-9 * std::max(1.0, std::fabs(coded))) return true;
    return Disagree(Has("width") ? "width" : "q", "realised_q", Number(given), QString::number(out), Number(coded));
  }

  bool Delay(const char* codeKey, const char* msKey, UWORD& out) {
    const QString span = "0 .. " + Number(UWORDToTime(65535) * 1000.0) + " ms";
    return CodeOrUnit(
        codeKey, msKey, 0, 65535, span, [](double ms, UWORD& code) { return nearestcode::Time(ms / 1000.0, code); },
        [](UWORD code) { return UWORDToTime(code) * 1000.0; }, out);
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

  // The entries of an array of `count` things, each placed by its "index"
  // (from 0), by its `nameKey` (one of `names`) or, when it has neither, by
  // its position; any number of them, each thing at most once. Paths name
  // the entry's place in the document.
  bool Entries(const char* key, const char* nameKey, const QStringList& names, int count, std::vector<sEntry>& out) {
    out.clear();
    if (!Has(key)) return true;
    if (!Value(key).isArray()) return Fail(key, "expected an array");
    const QJsonArray array = Value(key).toArray();
    if (array.size() > count) {
      return Fail(key, "expected at most " + QString::number(count) + " entries, got " + QString::number(array.size()));
    }
    std::vector<bool> given(std::size_t(count), false);
    for (int i = 0; i < array.size(); ++i) {
      const QString at = key + QString("[%1]").arg(i);
      if (!array.at(i).isObject()) return Fail(at, "expected an object");
      const QJsonObject object = array.at(i).toObject();
      cObjectReader entry(object, Path(at), mError);
      int index = i;
      if (object.contains("index") && !entry.Code("index", 0, count - 1, index)) return false;
      if (nameKey != nullptr && object.contains(QLatin1String(nameKey))) {
        const int named = int(names.indexOf(object.value(QLatin1String(nameKey)).toString()));
        if (named < 0 || !object.value(QLatin1String(nameKey)).isString()) {
          return entry.Fail(nameKey, "expected one of \"" + names.join("\", \"") + "\"");
        }
        if (object.contains("index") && named != index) {
          return entry.Fail(nameKey,
                            "is entry " + QString::number(named) + ", not the index " + QString::number(index));
        }
        index = named;
      }
      if (given[std::size_t(index)]) return Fail(at, "entry " + QString::number(index) + " is given twice");
      given[std::size_t(index)] = true;
      out.push_back({index, object, Path(at)});
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
  return r.OnlyKeys({"index", "frequency", "frequency_hz", "width", "q", "realised_q", "gain", "gain_db", "type",
                     "type_name", "variant", "bypass"}) &&
         r.Frequency(out.mFrequency) && r.Gain(false, out.mGain) &&
         r.Named("type", "type_name", biquad::kBandTypeCount, biquad::BandTypeName, out.mType) &&
         r.Code("variant", 0, 255, out.mVariant) && r.Width(out.mGain, out.mVariant, out.mFrequency, out.mWidth) &&
         r.Boolean("bypass", out.mBypass);
}

bool DecodeEQ(const QJsonObject& object, const QString& path, QString& error, sEQConfiguration& out) {
  cObjectReader r(object, path, error);
  std::vector<sEntry> bands;
  const int count = int(out.mBands.size());
  if (!r.OnlyKeys({"index", "side", "bypass", "bands"}) || !r.Boolean("bypass", out.mBypass) ||
      !r.Entries("bands", nullptr, {}, count, bands)) {
    return false;
  }
  for (const sEntry& band : bands) {
    if (!DecodeBand(band.mObject, band.mPath, error, out.mBands[std::size_t(band.mIndex)])) return false;
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

bool DecodePanel(const QJsonObject& object, const QString& path, QString& error, sPanelConfiguration& panel) {
  cObjectReader r(object, path, error);
  QJsonObject highPass, lowPass, delay;
  std::vector<sEntry> eqs;
  if (!r.OnlyKeys({"index", "name", "high_pass", "low_pass", "delay", "eq", "gang"}) ||
      !r.Object("high_pass", highPass) || !r.Object("low_pass", lowPass) || !r.Object("delay", delay) ||
      !r.Entries("eq", "side", {kSides[0], kSides[1]}, 2, eqs) || !r.Boolean("gang", panel.mGang) ||
      !DecodePassFilter(highPass, r.Path("high_pass"), error, panel.mHighPass) ||
      !DecodePassFilter(lowPass, r.Path("low_pass"), error, panel.mLowPass)) {
    return false;
  }
  cObjectReader rd(delay, r.Path("delay"), error);
  if (!rd.OnlyKeys({"left", "right", "left_ms", "right_ms", "gang"}) ||
      !rd.Delay("left", "left_ms", panel.mDelay.mLeft) || !rd.Delay("right", "right_ms", panel.mDelay.mRight) ||
      !rd.Code("gang", 0, 1, panel.mDelay.mGang)) {
    return false;
  }
  // The left equaliser first: with the gang on, the right one starts from it.
  const sEntry* sides[2] = {nullptr, nullptr};
  for (const sEntry& eq : eqs) sides[eq.mIndex] = &eq;
  if (sides[0] != nullptr && !DecodeEQ(sides[0]->mObject, sides[0]->mPath, error, panel.mEQ[0])) return false;
  if (panel.mGang) FollowLeft(panel.mEQ[0], panel.mEQ[1]);
  if (sides[1] != nullptr && !DecodeEQ(sides[1]->mObject, sides[1]->mPath, error, panel.mEQ[1])) return false;
  if (panel.mGang) {
    const QString differing = LinkedDifference(panel.mEQ[0], panel.mEQ[1]);
    if (!differing.isEmpty()) {
      const QString right = sides[1] != nullptr ? sides[1]->mPath : r.Path("eq") + "[1]";
      return cObjectReader(QJsonObject(), right, error)
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
  std::vector<sEntry> strips, panels;
  QStringList stripNames, panelNames;
  for (const sStripConfiguration& strip : decoded.mStrips) stripNames << strip.mName;
  for (int i = 0; i < 3; ++i) panelNames << QString::fromLatin1(PanelName(i));
  if (!top.OnlyKeys({"format", "version", "strips", "panels"}) || !top.Expect("format", kFormat) ||
      !top.Code("version", kVersion, kVersion, version) ||
      !top.Entries("strips", "name", stripNames, int(stripNames.size()), strips) ||
      !top.Entries("panels", "name", panelNames, 3, panels)) {
    return false;
  }
  for (const sEntry& entry : strips) {
    sStripConfiguration& strip = decoded.mStrips[std::size_t(entry.mIndex)];
    cObjectReader r(entry.mObject, entry.mPath, error);
    if (!r.OnlyKeys({"index", "name", "mute", "polarity", "gain", "gain_db"}) || !r.Boolean("mute", strip.mMute) ||
        !r.Boolean("polarity", strip.mPolarity) || !r.Gain(true, strip.mGain)) {
      return false;
    }
  }
  for (const sEntry& entry : panels) {
    if (!DecodePanel(entry.mObject, entry.mPath, error, decoded.mPanels[std::size_t(entry.mIndex)])) return false;
  }
  configuration = decoded;
  return true;
}

}  // namespace configjson
