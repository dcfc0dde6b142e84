#pragma once

// Configuration files made by the program itself, for the command tests.

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>

#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
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
