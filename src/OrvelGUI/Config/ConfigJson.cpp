#include "OrvelGUI/Config/ConfigJson.h"

#include <QJsonArray>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace configjson {
namespace {

constexpr int kBandCounts[3] = {2, 4, 6};
const char* const kSides[2] = {"left", "right"};

QJsonValue GainDb(GAIN gain) {
  return gain == kGainMinusInfinity ? QJsonValue(QJsonValue::Null) : QJsonValue(gain * biquad::kGainStep);
}

QJsonValue NameOrNull(const char* name) {
  return name != nullptr ? QJsonValue(QString::fromLatin1(name)) : QJsonValue(QJsonValue::Null);
}

QJsonObject EncodePassFilter(const sPassFilterConfiguration& filter) {
  return QJsonObject{{"frequency", filter.mFrequency},
                     {"frequency_hz", UWORDToFrequency(filter.mFrequency)},
                     {"slope", double(filter.mSlope)},
                     {"slope_name", NameOrNull(biquad::SlopeName(filter.mSlope))},
                     {"bypass", filter.mBypass}};
}

// "q" is the table Q the width stands for, as documents have always read
// it; a bell also carries the Q its curve realises, for reading only.
QJsonObject EncodeBand(const sBandConfiguration& band) {
  QJsonObject object{{"frequency", band.mFrequency}, {"frequency_hz", UWORDToFrequency(band.mFrequency)},
                     {"width", band.mWidth},         {"q", biquad::QFromWidth(band.mWidth)},
                     {"gain", band.mGain},           {"gain_db", band.mGain * biquad::kGainStep},
                     {"type", double(band.mType)},   {"type_name", NameOrNull(biquad::BandTypeName(band.mType))},
                     {"variant", band.mVariant},     {"bypass", band.mBypass}};
  if (band.mType == nPEQ::BELL) {
    object.insert("realised_q", biquad::RealisedBellQOfWidth(band.mWidth, band.mGain, band.mVariant, band.mFrequency));
  }
  return object;
}

// Reads the members of one object, remembering the first failure with the
// path of the key.
class cReader {
 public:
  cReader(const QJsonObject& object, QString path, QString& error)
      : mObject(object), mPath(std::move(path)), mError(error) {}

  bool Ok() const { return mError.isEmpty(); }
  QString Path(const char* key) const { return mPath.isEmpty() ? QString(key) : mPath + "." + key; }

  bool Fail(const char* key, const char* what) {
    if (mError.isEmpty()) mError = Path(key) + ": " + what;
    return false;
  }

  bool Boolean(const char* key, bool& out) {
    const QJsonValue value = mObject.value(key);
    if (!value.isBool()) return Fail(key, "expected true or false");
    out = value.toBool();
    return true;
  }

  template <typename T>
  bool Integer(const char* key, double lowest, double highest, T& out) {
    const QJsonValue value = mObject.value(key);
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::floor(number) != number || number < lowest || number > highest) {
      return Fail(key, "expected a whole number in range");
    }
    out = static_cast<T>(static_cast<qint64>(number));
    return true;
  }

  bool Object(const char* key, QJsonObject& out) {
    const QJsonValue value = mObject.value(key);
    if (!value.isObject()) return Fail(key, "expected an object");
    out = value.toObject();
    return true;
  }

  bool Array(const char* key, int count, QJsonArray& out) {
    const QJsonValue value = mObject.value(key);
    if (!value.isArray() || value.toArray().size() != count) {
      return Fail(key, count == 1 ? "expected an array of 1 element" : "expected an array of the right length");
    }
    out = value.toArray();
    return true;
  }

  // The element of an array that must be an object.
  bool Element(const QJsonArray& array, const char* key, int index, QJsonObject& out) {
    if (!array.at(index).isObject()) return Fail(key, "expected objects");
    out = array.at(index).toObject();
    return true;
  }

 private:
  QJsonObject mObject;
  QString mPath;
  QString& mError;
};

QString ElementPath(const QString& keyPath, int index) { return keyPath + "[" + QString::number(index) + "]"; }

constexpr double kUWORDMax = 65535.0;
constexpr double kULONGMax = 4294967295.0;

bool DecodePassFilter(const QJsonObject& object, const QString& path, QString& error, sPassFilterConfiguration& out) {
  cReader r(object, path, error);
  return r.Integer("frequency", 0, kUWORDMax, out.mFrequency) && r.Integer("slope", 0, kULONGMax, out.mSlope) &&
         r.Boolean("bypass", out.mBypass);
}

}  // namespace

QJsonObject Encode(const sConfiguration& configuration) {
  QJsonArray strips;
  for (const sStripConfiguration& strip : configuration.mStrips) {
    strips.append(QJsonObject{{"name", strip.mName},
                              {"mute", strip.mMute},
                              {"polarity", strip.mPolarity},
                              {"gain", strip.mGain},
                              {"gain_db", GainDb(strip.mGain)}});
  }
  QJsonArray panels;
  for (const sPanelConfiguration& panel : configuration.mPanels) {
    QJsonArray eqs;
    for (int side = 0; side < 2; ++side) {
      QJsonArray bands;
      for (const sBandConfiguration& band : panel.mEQ[std::size_t(side)].mBands) bands.append(EncodeBand(band));
      eqs.append(
          QJsonObject{{"side", kSides[side]}, {"bypass", panel.mEQ[std::size_t(side)].mBypass}, {"bands", bands}});
    }
    const sDelayConfiguration& d = panel.mDelay;
    panels.append(QJsonObject{{"name", panel.mName},
                              {"high_pass", EncodePassFilter(panel.mHighPass)},
                              {"low_pass", EncodePassFilter(panel.mLowPass)},
                              {"delay", QJsonObject{{"left", d.mLeft},
                                                    {"right", d.mRight},
                                                    {"left_ms", UWORDToTime(d.mLeft) * 1000.0},
                                                    {"right_ms", UWORDToTime(d.mRight) * 1000.0},
                                                    {"gang", d.mGang}}},
                              {"eq", eqs},
                              {"gang", panel.mGang}});
  }
  return QJsonObject{{"format", kFormat}, {"version", kVersion}, {"strips", strips}, {"panels", panels}};
}

bool Decode(const QJsonObject& document, sConfiguration& configuration, QString& error) {
  error.clear();
  sConfiguration decoded;
  cReader top(document, QString(), error);
  if (document.value("format").toString() != QLatin1String(kFormat)) return top.Fail("format", "not orvel-config");
  int version = 0;
  if (!top.Integer("version", kVersion, kVersion, version)) return false;
  QJsonArray strips;
  QJsonArray panels;
  if (!top.Array("strips", 8, strips) || !top.Array("panels", 3, panels)) return false;
  for (int i = 0; i < 8; ++i) {
    QJsonObject object;
    if (!top.Element(strips, "strips", i, object)) return false;
    sStripConfiguration& strip = decoded.mStrips[std::size_t(i)];
    cReader r(object, ElementPath("strips", i), error);
    strip.mName = object.value("name").toString();
    if (!r.Boolean("mute", strip.mMute) || !r.Boolean("polarity", strip.mPolarity) ||
        !r.Integer("gain", -32768, 32767, strip.mGain)) {
      return false;
    }
  }
  for (int i = 0; i < 3; ++i) {
    QJsonObject object;
    if (!top.Element(panels, "panels", i, object)) return false;
    sPanelConfiguration& panel = decoded.mPanels[std::size_t(i)];
    panel.mName = QString::fromLatin1(PanelName(i));
    panel.mPanelType = i + 1;
    cReader r(object, ElementPath("panels", i), error);
    QJsonObject highPass, lowPass, delay;
    QJsonArray eqs;
    if (!r.Object("high_pass", highPass) || !DecodePassFilter(highPass, r.Path("high_pass"), error, panel.mHighPass) ||
        !r.Object("low_pass", lowPass) || !DecodePassFilter(lowPass, r.Path("low_pass"), error, panel.mLowPass) ||
        !r.Object("delay", delay) || !r.Array("eq", 2, eqs) || !r.Boolean("gang", panel.mGang)) {
      return false;
    }
    cReader rd(delay, r.Path("delay"), error);
    if (!rd.Integer("left", 0, kUWORDMax, panel.mDelay.mLeft) ||
        !rd.Integer("right", 0, kUWORDMax, panel.mDelay.mRight) || !rd.Integer("gang", 0, 1, panel.mDelay.mGang)) {
      return false;
    }
    for (int side = 0; side < 2; ++side) {
      QJsonObject eqObject;
      if (!r.Element(eqs, "eq", side, eqObject)) return false;
      cReader re(eqObject, ElementPath(r.Path("eq"), side), error);
      sEQConfiguration& eq = panel.mEQ[std::size_t(side)];
      QJsonArray bands;
      if (eqObject.value("side").toString() != QLatin1String(kSides[side])) return re.Fail("side", "wrong side");
      if (!re.Boolean("bypass", eq.mBypass) || !re.Array("bands", kBandCounts[i], bands)) return false;
      eq.mBands.resize(std::size_t(kBandCounts[i]));
      for (int b = 0; b < kBandCounts[i]; ++b) {
        QJsonObject bandObject;
        if (!re.Element(bands, "bands", b, bandObject)) return false;
        sBandConfiguration& band = eq.mBands[std::size_t(b)];
        cReader rb(bandObject, ElementPath(re.Path("bands"), b), error);
        if (!rb.Integer("frequency", 0, kUWORDMax, band.mFrequency) ||
            !rb.Integer("width", 0, kUWORDMax, band.mWidth) || !rb.Integer("gain", -32768, 32767, band.mGain) ||
            !rb.Integer("type", 0, kULONGMax, band.mType) || !rb.Integer("variant", 0, 255, band.mVariant) ||
            !rb.Boolean("bypass", band.mBypass)) {
          return false;
        }
      }
    }
  }
  configuration = decoded;
  return true;
}

}  // namespace configjson
