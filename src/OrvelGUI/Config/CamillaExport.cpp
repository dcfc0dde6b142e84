#include "OrvelGUI/Config/CamillaExport.h"

#include <QStringList>
#include <QTextStream>
#include <cmath>
#include <utility>
#include <vector>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/FilterText.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Config/SignalPath.h"
#include "OrvelGUI/Core/Version.h"

namespace {

constexpr int kSampleRate = 96000;
constexpr int kChunkSize = 1024;
constexpr int kCaptureChannels = 2;
constexpr int kPlaybackChannels = 6;
constexpr double kNyquistHz = kSampleRate / 2.0;

struct sFilterEntry {
  QString mName;
  QString mType;  // Biquad, BiquadCombo, Gain, Delay
  std::vector<std::pair<QString, QString>> mParameters;
  QString mComment;
};

// The filters of the pipeline in order, and each step's channel.
class cPipelineWriter {
 public:
  void Add(sFilterEntry entry) { mFilters.push_back(std::move(entry)); }
  void Step(int channel, const QStringList& names) { mSteps.push_back({channel, names}); }
  void MixerStep(const QString& name) { mSteps.push_back({-1, {name}}); }
  const std::vector<sFilterEntry>& Filters() const { return mFilters; }

  QString FiltersText() const {
    QString text;
    QTextStream out(&text);
    out << "filters:\n";
    for (const sFilterEntry& f : mFilters) {
      if (!f.mComment.isEmpty()) out << "  # " << f.mComment << "\n";
      out << "  " << f.mName << ":\n    type: " << f.mType << "\n    parameters:\n";
      for (const auto& parameter : f.mParameters)
        out << "      " << parameter.first << ": " << parameter.second << "\n";
    }
    return text;
  }

  QString PipelineText() const {
    QString text;
    QTextStream out(&text);
    out << "pipeline:\n";
    for (const auto& step : mSteps) {
      if (step.first < 0) {
        out << "  - type: Mixer\n    name: " << step.second.front() << "\n";
        continue;
      }
      out << "  - type: Filter\n    channels: [" << step.first << "]\n    names:\n";
      for (const QString& name : step.second) out << "      - " << name << "\n";
    }
    return text;
  }

 private:
  std::vector<sFilterEntry> mFilters;
  std::vector<std::pair<int, QStringList>> mSteps;
};

QString Bool(bool value) { return value ? "true" : "false"; }

QString OutputKey(int panel, int side) { return OutputName(panel, side).toLower().replace(' ', '_'); }

// The frequency as written, refused at or above half the sample rate.
bool Frequency(const QString& what, double hz, QString& text, QString& error) {
  text = FilterDecimal(hz);
  if (!(hz > 0.0) || !(text.toDouble() < kNyquistHz)) {
    error = what + QString(" at %1 Hz: CamillaDSP at 96 kHz takes frequencies below 48 kHz only").arg(text);
    return false;
  }
  return true;
}

sFilterEntry GainEntry(const QString& name, const sStripPath& strip, const QString& what) {
  sFilterEntry entry{name, "Gain", {}, what};
  const bool silent = strip.mUnmutedLinear == 0;
  entry.mParameters = {{"gain", silent ? QString("0.0") : FilterDecimal(LinearGainDb(strip.mUnmutedLinear))},
                       {"inverted", Bool(strip.mInverted)},
                       {"mute", Bool(strip.mMute || silent)}};
  if (silent) entry.mComment += ": fader below -116 dB, silent";
  return entry;
}

// The sections a panel's pass filter runs, as CamillaDSP filters.
bool AddPassFilter(cPipelineWriter& writer, QStringList& names, const sPassFilterConfiguration& filter, bool high,
                   int count, const QString& prefix, const QString& what, QString& error) {
  if (filter.mBypass || count == 0) return true;
  if (filter.mSlope >= ULONG(biquad::kSlopeCount)) {
    error = what + QString(": unknown slope %1").arg(filter.mSlope);
    return false;
  }
  const QString direction = high ? "Highpass" : "Lowpass";
  QString hz;
  if (!Frequency(what, UWORDToFrequency(filter.mFrequency), hz, error)) return false;
  const bool wholeSlope =
      count == 2 && (filter.mSlope == HPF_BUTTERWORTH_18_DB || filter.mSlope == HPF_BUTTERWORTH_24_DB);
  if (wholeSlope) {
    names << prefix;
    writer.Add({prefix,
                "BiquadCombo",
                {{"type", "Butterworth" + direction},
                 {"freq", hz},
                 {"order", filter.mSlope == HPF_BUTTERWORTH_18_DB ? "3" : "4"}},
                what + ", " + biquad::SlopeName(filter.mSlope)});
    return true;
  }
  const std::vector<sStandardFilter> sections = PassFilterSections(filter, high, count);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const sStandardFilter& s = sections[i];
    const QString name = sections.size() == 1 ? prefix : prefix + "_" + QString::number(i + 1);
    if (!Frequency(what, s.mFrequency, hz, error)) return false;
    sFilterEntry entry{name, "Biquad", {}, what + ", " + biquad::SlopeName(filter.mSlope)};
    if (s.mOrder == 1) {
      entry.mParameters = {{"type", direction + "FO"}, {"freq", hz}};
    } else {
      entry.mParameters = {{"type", direction}, {"freq", hz}, {"q", FilterDecimal(s.mQ)}};
    }
    if (count == 1 && filter.mSlope != HPF_BUTTERWORTH_12_DB)
      entry.mComment += " (the first section: the panel runs one)";
    writer.Add(entry);
    names << name;
  }
  return true;
}

bool AddBand(cPipelineWriter& writer, QStringList& names, const sBandConfiguration& band, bool eqBypass,
             const QString& name, const QString& what, QString& error) {
  const sStandardFilter s = StandardOfBand(band, eqBypass);
  if (!s.mOn || s.mType == eStandardType::None) return true;
  QString hz;
  if (!Frequency(what, s.mFrequency, hz, error)) return false;
  sFilterEntry entry{name, "Biquad", {}, what + ", " + biquad::BandTypeName(band.mType)};
  switch (s.mType) {
    case eStandardType::Peak:
      entry.mParameters = {
          {"type", "Peaking"}, {"freq", hz}, {"gain", FilterDecimal(s.mGainDb)}, {"q", FilterDecimal(s.mQ)}};
      break;
    case eStandardType::LowShelf:
    case eStandardType::HighShelf:
      entry.mParameters = {{"type", s.mType == eStandardType::LowShelf ? "LowshelfFO" : "HighshelfFO"},
                           {"freq", hz},
                           {"gain", FilterDecimal(s.mGainDb)}};
      break;
    default:
      entry.mParameters = {{"type", s.mType == eStandardType::HighPass ? "Highpass" : "Lowpass"},
                           {"freq", hz},
                           {"q", FilterDecimal(s.mQ)}};
      break;
  }
  writer.Add(entry);
  names << name;
  return true;
}

QString DevicesText() {
  QString text;
  QTextStream out(&text);
  out << "devices:\n  samplerate: " << kSampleRate << "\n  chunksize: " << kChunkSize << "\n"
      << "  # Placeholders: replace the capture and playback devices (type, device, format)\n"
      << "  # with the sound cards this is to run on; keep the channel counts.\n"
      << "  capture:\n    type: Alsa\n    channels: " << kCaptureChannels
      << "\n    device: \"hw:0,0\"\n    format: S32LE\n"
      << "  playback:\n    type: Alsa\n    channels: " << kPlaybackChannels
      << "\n    device: \"hw:1,0\"\n    format: S32LE\n";
  return text;
}

QString MixerText() {
  QString text;
  QTextStream out(&text);
  out << "mixers:\n  split:\n    channels:\n      in: " << kCaptureChannels << "\n      out: " << kPlaybackChannels
      << "\n    mapping:\n";
  for (int channel = 0; channel < kPlaybackChannels; ++channel) {
    out << "      - dest: " << channel << "\n        sources:\n          - channel: " << channel % 2
        << "\n            gain: 0\n            inverted: false\n";
  }
  return text;
}

}  // namespace

bool ExportCamillaConfiguration(const cOfflineAssembly& assembly, const QString& source, QString& yaml,
                                QString& error) {
  const sConfiguration configuration = assembly.Read();
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  const std::array<sStripPath, 8> strips = ReadStripPaths(assembly);
  cPipelineWriter writer;
  for (int side = 0; side < kCaptureChannels; ++side) {
    const QString name = side == 0 ? "input_l_strip" : "input_r_strip";
    writer.Add(GainEntry(name, strips[std::size_t(side)], configuration.mStrips[std::size_t(side)].mName));
    writer.Step(side, {name});
  }
  writer.MixerStep("split");
  for (int panel = 0; panel < 3; ++panel) {
    const sPanelConfiguration& pc = configuration.mPanels[std::size_t(panel)];
    for (int side = 0; side < 2; ++side) {
      const QString key = OutputKey(panel, side);
      const QString output = OutputName(panel, side);
      QStringList names;
      if (!AddPassFilter(writer, names, pc.mHighPass, true, PassBiquadCount(targets, panel, eFilterOwner::HighPass),
                         key + "_high_pass", output + " high-pass", error) ||
          !AddPassFilter(writer, names, pc.mLowPass, false, PassBiquadCount(targets, panel, eFilterOwner::LowPass),
                         key + "_low_pass", output + " low-pass", error)) {
        return false;
      }
      const sEQConfiguration& eq = pc.mEQ[std::size_t(side)];
      for (std::size_t b = 0; b < eq.mBands.size(); ++b) {
        if (!AddBand(writer, names, eq.mBands[b], eq.mBypass, key + "_band_" + QString::number(b + 1),
                     output + " band " + QString::number(b + 1), error)) {
          return false;
        }
      }
      const std::int32_t samples = OutputDelaySamples(configuration, panel, side);
      writer.Add({key + "_delay",
                  "Delay",
                  {{"delay", QString::number(samples)}, {"unit", "samples"}, {"subsample", "false"}},
                  output + QString(" delay, %1 ms").arg(samples * 1000.0 / kSampleRate, 0, 'f', 3)});
      names << key + "_delay";
      const int strip = OutputStripIndex(panel, side);
      writer.Add(
          GainEntry(key + "_strip", strips[std::size_t(strip)], configuration.mStrips[std::size_t(strip)].mName));
      names << key + "_strip";
      writer.Step(panel * 2 + side, names);
    }
  }
  QString text;
  QTextStream out(&text);
  out << "# " << kOrvelApplicationName << " " << kOrvelVersionText << ": " << source
      << " as a CamillaDSP (version 3) configuration.\n"
      << "# The processor's signal path at 96 kHz: the input strips, a mixer that feeds each input to\n"
      << "# its three outputs, then per output its high-pass, low-pass, equaliser bands, delay and\n"
      << "# output strip. Playback channels: 0 Low L, 1 Low R, 2 Mid L, 3 Mid R, 4 High L, 5 High R.\n"
      << DevicesText() << writer.FiltersText() << MixerText() << writer.PipelineText();
  yaml = text;
  return true;
}
