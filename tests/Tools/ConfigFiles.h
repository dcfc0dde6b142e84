#pragma once

// Configuration files made by the program itself, for the command tests.

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "Tools/CliSupport.h"

// Writes `configuration` through the program's own units and saves manager.
inline bool SaveThroughProgram(const sConfiguration& configuration, const QString& file) {
  cStandaloneAssembly assembly(false);
  return ApplyConfiguration(assembly.Core(), configuration) && assembly.Core().SaveConfiguration(file, 10000);
}

inline sConfiguration FreshConfiguration() {
  cStandaloneAssembly assembly(false);
  return ReadConfiguration(assembly.Core());
}

// Any value the processor realises in each stored field: known slopes,
// band types with a design, bell variants, equaliser gains within +-15 dB,
// strip gains up to full scale, frequencies below half the sample rate and
// delays the device's field holds. With the gang on, the right equaliser's
// linked values follow the left.
inline sConfiguration RandomConfiguration(QRandomGenerator& random) {
  static const ULONG kTypes[] = {0, 1, 2, 3, 4, 6, 7};  // every type but NOTCH
  sConfiguration c = FreshConfiguration();
  auto word = [&] { return UWORD(random.bounded(65536)); };
  auto frequency = [&] { return UWORD(random.bounded(62001)); };  // up to 47.6 kHz
  auto flag = [&] { return random.bounded(2) == 1; };
  for (sStripConfiguration& s : c.mStrips) s = {s.mName, flag(), flag(), GAIN(random.bounded(-32767, 3083))};
  for (sPanelConfiguration& p : c.mPanels) {
    p.mHighPass = {frequency(), ULONG(random.bounded(4)), flag()};
    p.mLowPass = {frequency(), ULONG(random.bounded(4)), flag()};
    p.mDelay = {UWORD(random.bounded(60001)), UWORD(random.bounded(60001)), UBYTE(random.bounded(2))};
    p.mGang = random.bounded(3) == 0;
    for (sEQConfiguration& eq : p.mEQ) {
      eq.mBypass = flag();
      for (sBandConfiguration& b : eq.mBands) {
        b = {
            frequency(), word(), GAIN(random.bounded(-3840, 3841)), kTypes[random.bounded(7)], UBYTE(random.bounded(2)),
            flag()};
      }
    }
    if (p.mGang) {
      p.mEQ[1].mBypass = p.mEQ[0].mBypass;
      for (std::size_t i = 0; i < p.mEQ[0].mBands.size(); ++i) {
        const sBandConfiguration& l = p.mEQ[0].mBands[i];
        sBandConfiguration& r = p.mEQ[1].mBands[i];
        r = {l.mFrequency, l.mWidth, l.mGain, (i == 0 || i + 1 == p.mEQ[0].mBands.size()) ? l.mType : r.mType,
             r.mVariant,   l.mBypass};
      }
    }
  }
  return c;
}

// The part of a configuration the processor's records carry: all of it but
// the band bypasses, the delay gang and the High panel's low-pass, which the
// processor does not have (those of `ownFrom` stand in, as the program keeps
// its own), with the delays as exact as their sample counts.
inline sConfiguration ReadBackPart(sConfiguration c, const sConfiguration& ownFrom) {
  // A code read back from its sample count may have a count of its own:
  // the one that reads back as itself.
  const auto readBack = [](UWORD code) {
    for (int round = 0; round < 8; ++round) {
      const UWORD next = TimeToUWORD(cDelayDriver::SamplesOfCode(code) / 96000.0);
      if (next == code) break;
      code = next;
    }
    return code;
  };
  c.mPanels[2].mLowPass = ownFrom.mPanels[2].mLowPass;
  for (std::size_t p = 0; p < c.mPanels.size(); ++p) {
    sPanelConfiguration& panel = c.mPanels[p];
    panel.mDelay.mLeft = readBack(panel.mDelay.mLeft);
    panel.mDelay.mRight = readBack(panel.mDelay.mRight);
    panel.mDelay.mGang = ownFrom.mPanels[p].mDelay.mGang;
    for (std::size_t side = 0; side < panel.mEQ.size(); ++side) {
      for (std::size_t b = 0; b < panel.mEQ[side].mBands.size(); ++b) {
        panel.mEQ[side].mBands[b].mBypass = ownFrom.mPanels[p].mEQ[side].mBands[b].mBypass;
      }
    }
  }
  return c;
}

// The lines in which two indented JSON documents differ, for a failure.
inline QString JsonLinesDiffering(const QByteArray& actual, const QByteArray& expected) {
  const QList<QByteArray> a = actual.split('\n');
  const QList<QByteArray> e = expected.split('\n');
  QStringList lines;
  for (int i = 0; i < std::max(a.size(), e.size()); ++i) {
    if (a.value(i) != e.value(i))
      lines << QString("line %1: %2 | expected %3").arg(i).arg(QString(a.value(i)), QString(e.value(i)));
  }
  return lines.mid(0, 12).join('\n');
}

inline QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs orvel-cli with `input` on standard input.
inline sRun RunCliWithInput(const QStringList& arguments, const QByteArray& input) {
  QProcess cli;
  cli.start(kBin + "/orvel-cli", arguments);
  if (!cli.waitForStarted(5000)) return sRun{};
  cli.write(input);
  cli.closeWriteChannel();
  return FinishCli(cli);
}
