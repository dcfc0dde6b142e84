#include "OrvelGUI/Config/FilterChains.h"

#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/PassFilterUnit.h"
#include "OrvelGUI/Core/Plausibility.h"

namespace {

constexpr double kGridLowest = 10.0;
constexpr double kGridHighest = 40000.0;
constexpr int kPointsPerOctave = 24;

void AddSlots(std::vector<sFilterSlot>& targets, const cBiquadDriver& driver, const cNetObject& unit, int panel,
              eFilterOwner owner, int firstSide, int sides, double scale) {
  for (UBYTE i = 0; i < driver.GetBiquadCount(); ++i) {
    for (int s = 0; s < sides; ++s) {
      sFilterSlot slot;
      slot.mAddress = driver.DeviceAddress(i, UBYTE(s));
      slot.mPanel = panel;
      slot.mSide = firstSide + s;
      slot.mOwner = owner;
      slot.mIndex = i;
      slot.mUnit = QString::fromLatin1(unit.GetName());
      slot.mScale = scale;
      targets.push_back(slot);
    }
  }
}

QString Hz(double hz) { return QString::number(hz, 'f', hz < 1000.0 ? 2 : 1) + " Hz"; }

// The design inputs of a slot, and the frequency they design at.
struct sDesignInputs {
  QString mText;
  QJsonObject mJson;
  double mFrequency;
};

sDesignInputs DesignInputs(const sFilterSlot& slot, const sConfiguration& configuration) {
  const sPanelConfiguration& panel = configuration.mPanels[std::size_t(slot.mPanel)];
  if (slot.mOwner != eFilterOwner::EQ) {
    const bool highPass = slot.mOwner == eFilterOwner::HighPass;
    const sPassFilterConfiguration& f = highPass ? panel.mHighPass : panel.mLowPass;
    const double hz = UWORDToFrequency(f.mFrequency);
    const char* slope = biquad::SlopeName(f.mSlope);
    const int type = slot.mPanel + 1;
    const QString realised = QString::fromStdString(plausibility::RealisedSlope(
        highPass, f.mSlope, highPass ? cLowMidHigh::HighPassBiquadsOf(type) : cLowMidHigh::LowPassBiquadsOf(type)));
    QJsonObject json{{"frequency_hz", hz},
                     {"slope", double(f.mSlope)},
                     {"slope_name", slope ? QJsonValue(slope) : QJsonValue()},
                     {"bypass", f.mBypass}};
    if (!realised.isEmpty()) json["realised"] = realised;
    return {QString("%1%2, %3, bypass %4")
                .arg(slope ? slope : "unknown slope", realised.isEmpty() ? QString() : " (" + realised + ")", Hz(hz),
                     f.mBypass ? "on" : "off"),
            json, hz};
  }
  const sEQConfiguration& eq = panel.mEQ[std::size_t(slot.mSide)];
  const sBandConfiguration& b = eq.mBands[std::size_t(slot.mIndex)];
  const double hz = UWORDToFrequency(b.mFrequency);
  const char* type = biquad::BandTypeName(b.mType);
  const double q = biquad::QFromWidth(b.mWidth);
  const double gain = b.mGain * biquad::kGainStep;
  return {QString("%1 variant %2, %3, Q %4, %5 dB, bypass %6%7")
              .arg(type ? type : "unknown type")
              .arg(b.mVariant)
              .arg(Hz(hz))
              .arg(q)
              .arg(gain, 0, 'f', 2)
              .arg(b.mBypass ? "on" : "off", eq.mBypass ? " (equaliser bypassed)" : ""),
          QJsonObject{{"type", double(b.mType)},
                      {"type_name", type ? QJsonValue(type) : QJsonValue()},
                      {"variant", b.mVariant},
                      {"frequency_hz", hz},
                      {"q", q},
                      {"gain_db", gain},
                      {"bypass", b.mBypass},
                      {"eq_bypass", eq.mBypass}},
          hz};
}

const char* OwnerName(eFilterOwner owner) {
  switch (owner) {
    case eFilterOwner::HighPass:
      return "high_pass";
    case eFilterOwner::LowPass:
      return "low_pass";
    default:
      return "eq";
  }
}

QJsonArray IntegersJson(const int* values, int count) {
  QJsonArray array;
  for (int i = 0; i < count; ++i) array.append(values[i]);
  return array;
}

// A pass filter the panel has no section for keeps its values, and the
// listing says that nothing of it reaches the processor.
QStringList FiltersWithoutSections(const sConfiguration& configuration) {
  QStringList lines;
  for (int p = 0; p < 3; ++p) {
    const int type = p + 1;
    const sPanelConfiguration& panel = configuration.mPanels[std::size_t(p)];
    if (cLowMidHigh::LowPassBiquadsOf(type) == 0) {
      const sPassFilterConfiguration& f = panel.mLowPass;
      lines << QString("%1 %2: %3, %4, bypass %5: no section on this panel, nothing sent")
                   .arg(PanelName(p))
                   .arg(QString::fromStdString(cLowMidHigh::ObjectName(type, "", "LPF Unit")))
                   .arg(biquad::SlopeName(f.mSlope) ? biquad::SlopeName(f.mSlope) : "unknown slope")
                   .arg(Hz(UWORDToFrequency(f.mFrequency)))
                   .arg(f.mBypass ? "on" : "off");
    }
  }
  return lines;
}

}  // namespace

QString OutputName(int panel, int side) { return QString::fromLatin1(PanelName(panel)) + (side == 0 ? " L" : " R"); }

std::vector<sFilterSlot> FilterSlots(const cOfflineAssembly& assembly) {
  std::vector<sFilterSlot> targets;
  {
    cRegistryLocker lock;
    for (int p = 0; p < cApplicationCore::kPanelCount; ++p) {
      const cLowMidHigh& panel = *assembly.Core().GetPanel(p);
      AddSlots(targets, *panel.GetHighPass(), *panel.GetHighPass()->GetUnit(), p, eFilterOwner::HighPass, 0, 2,
               biquad::kPassScale);
      AddSlots(targets, *panel.GetLowPass(), *panel.GetLowPass()->GetUnit(), p, eFilterOwner::LowPass, 0, 2,
               biquad::kPassScale);
      for (int side = 0; side < 2; ++side) {
        const cParametricEQDriver& eq = *panel.GetEQ(side);
        AddSlots(targets, eq, *eq.GetUnit(), p, eFilterOwner::EQ, side, 1, biquad::kEQScale);
      }
    }
  }
  std::sort(targets.begin(), targets.end(), [](const sFilterSlot& a, const sFilterSlot& b) {
    return std::make_pair(a.mAddress & 0xFF, a.mAddress >> 8) < std::make_pair(b.mAddress & 0xFF, b.mAddress >> 8);
  });
  const cSerialInterface::sImage image = assembly.Image();
  for (sFilterSlot& slot : targets) {
    const auto entry = image.mFilters.find(slot.mAddress);
    if (entry == image.mFilters.end()) continue;
    const cSerialInterface::sFilterEntry& e = entry->second;
    slot.mSent = true;
    std::copy(e.mCoefficients.begin(), e.mCoefficients.end(), slot.mWire.begin());
    slot.mWords[0] = e.mWord1;
    slot.mWords[1] = e.mWord2;
    slot.mWords[2] = e.mWord3;
    slot.mBytes[0] = e.mByte1;
    slot.mBytes[1] = e.mByte2;
    slot.mBytes[2] = e.mByte3;
  }
  return targets;
}

int PassBiquadCount(const std::vector<sFilterSlot>& targets, int panel, eFilterOwner owner) {
  return int(std::count_if(targets.begin(), targets.end(), [&](const sFilterSlot& slot) {
    return slot.mPanel == panel && slot.mSide == 0 && slot.mOwner == owner;
  }));
}

biquad::tQuantised NaturalOrder(const biquad::tQuantised& w) { return {w[0], w[2], w[4], w[1], w[3]}; }

double ChainMagnitudeDb(const std::vector<sFilterSlot>& targets, int panel, int side, double hz) {
  double decibels = 0.0;
  for (const sFilterSlot& slot : targets) {
    if (slot.mPanel != panel || slot.mSide != side || !slot.mSent) continue;
    decibels += biquad::QuantisedMagnitudeDb(NaturalOrder(slot.mWire), slot.mScale, hz);
  }
  return decibels;
}

std::vector<double> ResponseGrid() {
  const int steps = int(std::lround(std::log2(kGridHighest / kGridLowest) * kPointsPerOctave));
  std::vector<double> grid;
  for (int i = 0; i <= steps; ++i)
    grid.push_back(kGridLowest * std::pow(kGridHighest / kGridLowest, double(i) / steps));
  return grid;
}

QString DescribeFilterSlots(const std::vector<sFilterSlot>& targets, const sConfiguration& configuration) {
  QString text;
  QTextStream out(&text);
  for (const sFilterSlot& slot : targets) {
    const sDesignInputs inputs = DesignInputs(slot, configuration);
    out << QString("0x%1 %2 %3 %4 %5: %6\n")
               .arg(slot.mAddress, 4, 16, QChar('0'))
               .arg(OutputName(slot.mPanel, slot.mSide))
               .arg(slot.mUnit)
               .arg(slot.mOwner == eFilterOwner::EQ ? "band" : "biquad")
               .arg(slot.mIndex + 1)
               .arg(inputs.mText);
    if (!slot.mSent) {
      out << "    nothing sent\n";
      continue;
    }
    out << "    coefficients";
    for (std::int32_t c : slot.mWire) out << " " << c;
    out << "\n    words " << slot.mWords[0] << " " << slot.mWords[1] << " " << slot.mWords[2] << ", bytes "
        << slot.mBytes[0] << " " << slot.mBytes[1] << " " << slot.mBytes[2] << "\n";
    out << QString("    %1 dB at %2\n")
               .arg(biquad::QuantisedMagnitudeDb(NaturalOrder(slot.mWire), slot.mScale, inputs.mFrequency), 0, 'f', 3)
               .arg(Hz(inputs.mFrequency));
  }
  for (const QString& line : FiltersWithoutSections(configuration)) out << line << "\n";
  return text;
}

QJsonArray FilterSlotsJson(const std::vector<sFilterSlot>& targets, const sConfiguration& configuration) {
  QJsonArray array;
  for (const sFilterSlot& slot : targets) {
    const sDesignInputs inputs = DesignInputs(slot, configuration);
    const int words[3] = {slot.mWords[0], slot.mWords[1], slot.mWords[2]};
    const int bytes[3] = {slot.mBytes[0], slot.mBytes[1], slot.mBytes[2]};
    QJsonObject object{{"address", double(slot.mAddress)},
                       {"unit", slot.mUnit},
                       {"output", OutputName(slot.mPanel, slot.mSide)},
                       {"kind", OwnerName(slot.mOwner)},
                       {"index", slot.mIndex},
                       {"design", inputs.mJson},
                       {"sent", slot.mSent}};
    if (slot.mSent) {
      object["coefficients"] = IntegersJson(slot.mWire.data(), 5);
      object["words"] = IntegersJson(words, 3);
      object["bytes"] = IntegersJson(bytes, 3);
      object["response_db"] = biquad::QuantisedMagnitudeDb(NaturalOrder(slot.mWire), slot.mScale, inputs.mFrequency);
    }
    array.append(object);
  }
  return array;
}
