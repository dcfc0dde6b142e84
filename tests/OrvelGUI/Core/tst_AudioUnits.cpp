// The audio units, drivers and panels against the simulated processor.

#include <QBuffer>
#include <QDataStream>
#include <QtTest>
#include <cmath>
#include <set>

#include "AES-Standards/Convert.h"
#include "AudioRig.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/MeteringSources.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/PassFilterUnit.h"
#include "OrvelGUI/Core/SerialInterface.h"
#include "TestSupport.h"

using namespace biquad;
using tBand = cParametricEQUnit::sBand;

namespace {

tQuantised Designed(eDesign design, UWORD frequency, double gainDb, double q, const sSampling& sampling) {
  return QuantiseSection(Design(design, UWORDToFrequency(frequency), gainDb, q, sampling));
}

UWORD BandMethod(int band, cParametricEQUnit::eBandParameter parameter) {
  return cParametricEQUnit::BandMethod(UBYTE(band), parameter);
}

// A recall block of an equaliser as a file holds it.
QByteArray EQBlock(bool bypass, const std::vector<tBand>& bands) {
  QByteArray block;
  QDataStream out(&block, QIODevice::WriteOnly);
  out.setVersion(cSavesManager::kStreamVersion);
  out << bypass;
  for (const tBand& b : bands) {
    out << qint16(b.mFrequency) << qint16(b.mWidth) << qint16(b.mGain) << qint32(b.mType) << qint8(b.mVariant)
        << b.mBypass;
  }
  return block;
}

template <typename tUnit>
void Recall(tUnit& unit, QByteArray block) {
  QBuffer buffer(&block);
  buffer.open(QIODevice::ReadOnly);
  QDataStream in(&buffer);
  in.setVersion(cSavesManager::kStreamVersion);
  unit.RecallData(&in);
}

std::vector<UWORD> Methods(const cNetProbe& probe) {
  std::vector<UWORD> methods;
  for (const auto& r : probe.Received()) methods.push_back(r.mMethod);
  return methods;
}

}  // namespace

class tst_AudioUnits : public QObject {
  Q_OBJECT

 private slots:
  void passFilterParameters() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cReportCapture reports;
    cLowMidHigh mid(MID, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    // Defaults go out bypassed: identity sections on both channels of slot 0.
    const sSentPackets start = rig.Sent();
    QCOMPARE(start.mFilters.at(0).mAddress, FilterAddress(0, 2));
    QCOMPARE(start.mFilters.at(1).mAddress, FilterAddress(0, 3));
    QCOMPARE(start.mFilters.at(0).mWire, (tQuantised{kPassIdentity, 0, 0, 0, 0}));
    QCOMPARE(int(start.mFilters.at(0).mFrequency), 21398);
    QCOMPARE(int(start.mFilters.at(0).mFlags), 1);

    cPassFilterUnit& hpf = *mid.GetHighPass()->GetUnit();
    cNetProbe sender("sender");
    cNetProbe listener("listener");
    for (UWORD m : {cPassFilterUnit::kMethodBypass, cPassFilterUnit::kMethodFrequency, cPassFilterUnit::kMethodSlope})
      LinkParameter(hpf, m, listener, m);
    const tQuantised butterworth = Designed(DESIGN_HIGH_PASS_2, 21398, 0, kButterworthQ, kPassSampling);
    QCOMPARE(hpf.GetCoefficients(0), butterworth);

    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(0));
    sSentPackets sent = rig.Sent();
    QCOMPARE(sent.mFilters.size(), std::size_t(2));
    QCOMPARE(sent.mFilters.at(1).mWire, WireOrder(butterworth));
    QCOMPARE(Methods(listener), std::vector<UWORD>{cPassFilterUnit::kMethodBypass});
    // The same value again: nothing sent, nothing informed.
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(0));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QCOMPARE(listener.Received().size(), std::size_t(1));

    // A 24 dB slope on one biquad sends only its first section; slopes inform nothing.
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodSlope, Bytes1(HPF_BUTTERWORTH_24_DB));
    sent = rig.Sent();
    QCOMPARE(sent.mFilters.size(), std::size_t(2));
    QCOMPARE(sent.mFilters.at(0).mWire,
             WireOrder(Designed(DESIGN_HIGH_PASS_2, 21398, 0, 0.541196100146, kPassSampling)));
    QCOMPARE(int(sent.mFilters.at(0).mType), 2);
    QCOMPARE(listener.Received().size(), std::size_t(1));

    // What the processor cannot realise stays off the wire: an unknown slope,
    // a switch byte that is neither 0 nor 1, a frequency whose design is
    // unstable. The unit keeps its values, says why, and tells its listeners
    // the value it kept; nothing is sent.
    const tQuantised before = hpf.GetCoefficients(0);
    listener.mReceived.clear();
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodSlope, Bytes1(9));
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(2));
    for (UWORD code : {UWORD(65535), UWORD(65000)})
      sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodFrequency, UWORDBytes(code));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QCOMPARE(hpf.GetSlope(), ULONG(HPF_BUTTERWORTH_24_DB));
    QCOMPARE(hpf.GetFrequency(), UWORD(21398));
    QVERIFY(!hpf.GetBypass());
    QCOMPARE(hpf.GetCoefficients(0), before);
    QCOMPARE(reports.Count("Mid high-pass: slope 9 is not a slope of the table (0 .. 3); not applied"), 1);
    QCOMPARE(reports.Count("Mid high-pass: bypass 2 is not 0 or 1; not applied"), 1);
    QCOMPARE(reports.Count("Mid high-pass (24dB Butterworth): frequency 76.44 kHz is outside 4.00 Hz .. 47.99 kHz"), 1);
    QCOMPARE(Methods(listener),
             (std::vector<UWORD>{cPassFilterUnit::kMethodSlope, cPassFilterUnit::kMethodBypass,
                                 cPassFilterUnit::kMethodFrequency, cPassFilterUnit::kMethodFrequency}));
    QCOMPARE(Word(listener.Received(cPassFilterUnit::kMethodFrequency).back()), UWORD(21398));
    // The 24 dB slope on this one-section panel is said to be realised as 12 dB.
    QCOMPARE(reports.Count("Mid high-pass: 24dB Butterworth realised as 12 dB, one section"), 1);
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodSlope, Bytes1(HPF_BUTTERWORTH_12_DB));
    rig.Sent();

    // A short message changes nothing.
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodFrequency, {0x12});
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QVERIFY(reports.Contains("Message too short for method 0x1001: 1 bytes, 2 needed"));
    QCOMPARE(hpf.GetFrequency(), UWORD(21398));
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodFrequency, UWORDBytes(0));
    QCOMPARE(rig.Sent().mFilters.at(0).mWire,
             WireOrder(Designed(DESIGN_HIGH_PASS_2, 0, 0, kButterworthQ, kPassSampling)));

    // Bypassed, the device gets identities while the unit keeps its design.
    const tQuantised designed = hpf.GetCoefficients(0);
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(1));
    QCOMPARE(rig.Sent().mFilters.at(0).mWire, (tQuantised{kPassIdentity, 0, 0, 0, 0}));
    QCOMPARE(hpf.GetCoefficients(0), designed);
    sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(0));
    QCOMPARE(rig.Sent().mFilters.at(0).mWire, WireOrder(designed));

    // A recall that changes the slope informs frequency and slope together,
    // and sends every biquad.
    listener.mReceived.clear();
    QByteArray block;
    QDataStream(&block, QIODevice::WriteOnly) << qint16(0) << qint32(HPF_BUTTERWORTH_18_DB) << false;
    Recall(hpf, block);
    Deliver();
    QCOMPARE(Methods(listener), (std::vector<UWORD>{cPassFilterUnit::kMethodFrequency, cPassFilterUnit::kMethodSlope}));
    QCOMPARE(rig.Sent().mFilters.at(0).mWire, WireOrder(Designed(DESIGN_HIGH_PASS_1, 0, 0, 0, kPassSampling)));
    // The High panel's low-pass has no biquads: it keeps values, sends nothing.
    cLowMidHigh high(HIGH, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    rig.Sent();
    sender.SendTo(high.GetLowPass()->GetUnit()->GetHandle(), cPassFilterUnit::kMethodFrequency, UWORDBytes(30000));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QCOMPARE(high.GetLowPass()->GetUnit()->GetFrequency(), UWORD(30000));
  }

  void equaliserBands() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cReportCapture reports;
    cLowMidHigh high(HIGH, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    rig.Sent();
    cParametricEQUnit& eq = *high.GetEQ(0)->GetUnit();
    const std::vector<UWORD> defaults{20657, 20657, 29873, 29873, 46664, 46664};
    for (int band = 0; band < 6; ++band) {
      const tBand b = eq.GetBand(UBYTE(band));
      QCOMPARE(b.mFrequency, defaults[std::size_t(band)]);
      QCOMPARE(int(b.mWidth), 3328);
      QCOMPARE(eq.GetCoefficients(UBYTE(band)), Designed(DESIGN_BELL, b.mFrequency, 0, kFlatQ, kEQSampling));
    }
    cNetProbe sender("sender");
    cNetProbe listener("listener");
    for (UWORD m = cParametricEQUnit::kMethodBypass; m < BandMethod(6, cParametricEQUnit::BAND_RANGE); ++m)
      LinkParameter(eq, m, listener, m);

    // A gain sends its band only, and is informed, changed or not.
    sender.SendTo(eq.GetHandle(), BandMethod(2, cParametricEQUnit::BAND_GAIN), UWORDBytes(GainToUWORD(1546)));
    sSentPackets sent = rig.Sent();
    QCOMPARE(sent.mFilters.size(), std::size_t(1));
    QCOMPARE(sent.mFilters.at(0).mAddress, FilterAddress(4, 4));
    QCOMPARE(sent.mFilters.at(0).mWire, WireOrder(Designed(DESIGN_BELL, 29873, 1546 * kGainStep, 0.801, kEQSampling)));
    QCOMPARE(int(sent.mFilters.at(0).mGain), 1546);
    sender.SendTo(eq.GetHandle(), BandMethod(2, cParametricEQUnit::BAND_GAIN), UWORDBytes(GainToUWORD(1546)));
    sender.SendTo(eq.GetHandle(), BandMethod(2, cParametricEQUnit::BAND_RANGE), UWORDBytes(1));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QCOMPARE(listener.Received(BandMethod(2, cParametricEQUnit::BAND_GAIN)).size(), std::size_t(2));
    QCOMPARE(listener.Received().size(), std::size_t(2));

    // NOTCH has no design on the processor: refused, nothing sent, and the
    // listeners hear the type kept. A bypassed low shelf is a first-order
    // unity section, not the identity.
    sender.SendTo(eq.GetHandle(), cParametricEQUnit::kMethodFirstBandType, Bytes1(nPEQ::NOTCH));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QCOMPARE(eq.GetBand(0).mType, ULONG(nPEQ::BELL));
    QVERIFY(reports.Contains("High EQ left band 1: type NOTCH has no design on the processor; not applied"));
    QCOMPARE(listener.Received(cParametricEQUnit::kMethodFirstBandType).back().mPayload, Bytes1(nPEQ::BELL));
    sender.SendTo(eq.GetHandle(), cParametricEQUnit::kMethodFirstBandType, Bytes1(nPEQ::LFSHELF));
    sender.SendTo(eq.GetHandle(), BandMethod(0, cParametricEQUnit::BAND_BYPASS), Bytes1(1));
    sent = rig.Sent();
    QCOMPARE(sent.mFilters.back().mWire, WireOrder(Designed(DESIGN_LOW_SHELF, 20657, 0, 0, kEQSampling)));
    // The whole EQ out: identities for every band, bit 0 of the flags set.
    sender.SendTo(eq.GetHandle(), cParametricEQUnit::kMethodBypass, Bytes1(1));
    sent = rig.Sent();
    QCOMPARE(sent.mFilters.size(), std::size_t(6));
    for (const sSentFilter& f : sent.mFilters) {
      QCOMPARE(f.mWire, (tQuantised{kEQIdentity, 0, 0, 0, 0}));
      QCOMPARE(int(f.mFlags), 1);
    }
    sender.SendTo(eq.GetHandle(), cParametricEQUnit::kMethodBypass, Bytes1(0));
    rig.Sent();

    // The extreme frequency and width codes of a bell all design (a bell
    // above half the rate is still stable); gains beyond the screens' +-15 dB
    // and a shelf above half the rate are refused and keep everything.
    for (auto field : {cParametricEQUnit::BAND_FREQUENCY, cParametricEQUnit::BAND_WIDTH}) {
      for (UWORD code : {UWORD(0), UWORD(65535)}) {
        const tQuantised before = eq.GetCoefficients(3);
        sender.SendTo(eq.GetHandle(), BandMethod(3, field), UWORDBytes(code));
        sent = rig.Sent();
        QCOMPARE(sent.mFilters.size(), std::size_t(1));
        QVERIFY(eq.GetCoefficients(3) != before);
      }
    }
    for (GAIN gain : {GAIN(-3840), GAIN(3840)}) {
      sender.SendTo(eq.GetHandle(), BandMethod(3, cParametricEQUnit::BAND_GAIN), UWORDBytes(GainToUWORD(gain)));
      QCOMPARE(rig.Sent().mFilters.size(), std::size_t(1));
    }
    for (UWORD code : {UWORD(0), UWORD(65535), GainToUWORD(3841), GainToUWORD(-3841)}) {
      sender.SendTo(eq.GetHandle(), BandMethod(3, cParametricEQUnit::BAND_GAIN), UWORDBytes(code));
      QCOMPARE(rig.Sent().Count(), std::size_t(0));
    }
    QCOMPARE(reports.Count("High EQ left band 4: gain +128.0 dB is outside -15 .. +15 dB; not applied"), 1);
    QCOMPARE(reports.Count("High EQ left band 4: gain -15.004 dB is outside -15 .. +15 dB; not applied"), 1);
    sender.SendTo(eq.GetHandle(), cParametricEQUnit::kMethodLastBandType, Bytes1(nPEQ::HFSHELF));
    rig.Sent();
    const tQuantised shelf = eq.GetCoefficients(5);
    const UWORD shelfFrequency = eq.GetBand(5).mFrequency;
    for (UWORD code : {UWORD(65535), UWORD(62442)}) {
      sender.SendTo(eq.GetHandle(), BandMethod(5, cParametricEQUnit::BAND_FREQUENCY), UWORDBytes(code));
      QCOMPARE(rig.Sent().Count(), std::size_t(0));
    }
    QCOMPARE(eq.GetCoefficients(5), shelf);
    QCOMPARE(eq.GetBand(5).mFrequency, shelfFrequency);
    QCOMPARE(reports.Count("High EQ left band 6 (HFSHELF): frequency 76.44 kHz is outside 4.00 Hz .. 47.99 kHz"), 1);
    QCOMPARE(reports.Count("has no usable design"), 0);
    const tBand kept = eq.GetBand(3);
    QCOMPARE(int(kept.mGain), 3840);
    QCOMPARE(int(kept.mWidth), 65535);
  }

  // A recall changing only band 2's gain recomputes bands 2..5, informs the
  // gain only, and sends every band.
  void equaliserRecallRules() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cLowMidHigh high(HIGH, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    rig.Sent();
    cParametricEQUnit& eq = *high.GetEQ(0)->GetUnit();
    cNetProbe listener("listener");
    for (UWORD m = cParametricEQUnit::kMethodBypass; m < BandMethod(6, cParametricEQUnit::BAND_RANGE); ++m)
      LinkParameter(eq, m, listener, m);
    std::vector<tBand> bands;
    std::vector<tQuantised> before;
    for (UBYTE band = 0; band < 6; ++band) {
      bands.push_back(eq.GetBand(band));
      before.push_back(eq.GetCoefficients(band));
    }
    bands[2].mGain = -1546;
    Recall(eq, EQBlock(false, bands));
    Deliver();
    QCOMPARE(Methods(listener), std::vector<UWORD>{BandMethod(2, cParametricEQUnit::BAND_GAIN)});
    QCOMPARE(listener.Received().at(0).mPayload, UWORDBytes(GainToUWORD(-1546)));
    // Defaults were designed at Q 2.41: recomputed bands take the width's Q.
    for (UBYTE band = 0; band < 6; ++band) {
      const tQuantised recomputed =
          Designed(DESIGN_BELL, bands[band].mFrequency, bands[band].mGain * kGainStep, 0.801, kEQSampling);
      QCOMPARE(eq.GetCoefficients(band), band < 2 ? before[band] : recomputed);
    }
    sSentPackets sent = rig.Sent();
    QCOMPARE(sent.mFilters.size(), std::size_t(6));
    for (UBYTE band = 0; band < 6; ++band) {
      QCOMPARE(sent.mFilters.at(band).mAddress, FilterAddress(2 + band, 4));
      QCOMPARE(sent.mFilters.at(band).mWire, WireOrder(eq.GetCoefficients(band)));
    }
    // Nothing differs: nothing informed, and still the whole EQ goes out.
    listener.mReceived.clear();
    Recall(eq, EQBlock(false, bands));
    Deliver();
    QCOMPARE(listener.Received().size(), std::size_t(0));
    QCOMPARE(rig.Sent().mFilters.size(), std::size_t(6));
    // A short block changes nothing.
    cReportCapture reports;
    Recall(eq, EQBlock(false, bands).left(20));
    QVERIFY(reports.Contains("recalled block is incomplete"));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    // So does a block with a value the processor cannot realise, read by a
    // caller that did not check it first (the tools apply blocks directly).
    std::vector<tBand> impossible = bands;
    impossible[4].mGain = 86 * 256;
    impossible[1].mFrequency = 60000;
    Recall(eq, EQBlock(false, impossible));
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QCOMPARE(eq.GetBand(1).mFrequency, bands[1].mFrequency);
    QVERIFY(
        reports.Contains("High EQ left band 5: gain +86.0 dB is outside -15 .. +15 dB; nothing of the block applied"));
  }

  void gangMakesTheRightFollow() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cLowMidHigh low(LOW, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    rig.Sent();
    cParametricEQUnit& left = *low.GetEQ(0)->GetUnit();
    cParametricEQUnit& right = *low.GetEQ(1)->GetUnit();
    cNetProbe sender("sender");
    sender.SendTo(left.GetHandle(), BandMethod(1, cParametricEQUnit::BAND_FREQUENCY), UWORDBytes(30000));
    sender.SendTo(low.GetGang()->GetHandle(), cParametricEQGangDriver::kMethodGang, Bytes1(1));
    rig.Settle();
    QCOMPARE(int(right.GetBand(1).mFrequency), 30000);
    sender.SendTo(left.GetHandle(), BandMethod(0, cParametricEQUnit::BAND_GAIN), UWORDBytes(GainToUWORD(768)));
    rig.Settle();
    QCOMPARE(int(right.GetBand(0).mGain), 768);
    sSentPackets sent = rig.Sent();
    QCOMPARE(sent.mFilters.back().mAddress, FilterAddress(2, 1));
    QCOMPARE(int(sent.mFilters.back().mFlags), 0x80);  // the gang bit
    sender.SendTo(right.GetHandle(), BandMethod(0, cParametricEQUnit::BAND_GAIN), UWORDBytes(GainToUWORD(-768)));
    rig.Settle();
    QCOMPARE(int(left.GetBand(0).mGain), 768);
    // Off again: the left no longer leads.
    sender.SendTo(low.GetGang()->GetHandle(), cParametricEQGangDriver::kMethodGang, Bytes1(0));
    rig.Settle();
    sender.SendTo(left.GetHandle(), BandMethod(0, cParametricEQUnit::BAND_GAIN), UWORDBytes(GainToUWORD(0)));
    rig.Settle();
    QCOMPARE(int(right.GetBand(0).mGain), -768);
    // A recall that turns the gang on sends both equalisers again: their
    // packets carry the gang bit and went out before the gang's block.
    rig.Sent();
    QByteArray block;
    QDataStream(&block, QIODevice::WriteOnly) << true;
    Recall(*low.GetGang(), block);
    sent = rig.Sent();
    std::set<ULONG> addresses;
    for (const sSentFilter& f : sent.mFilters) {
      QCOMPARE(int(f.mFlags) & 0x80, 0x80);
      addresses.insert(f.mAddress);
    }
    QCOMPARE(addresses,
             (std::set<ULONG>{FilterAddress(2, 0), FilterAddress(3, 0), FilterAddress(2, 1), FilterAddress(3, 1)}));
    rig.Settle();

    // A recall of an unganged file into ganged units: the left block's
    // informs still travel through the old links, delivered after the right
    // unit has read its own block and the gang has gone off. The right unit
    // keeps its own block.
    std::vector<tBand> leftBands{left.GetBand(0), left.GetBand(1)};
    std::vector<tBand> rightBands = leftBands;
    leftBands[0].mGain = 1000;
    leftBands[1].mFrequency = 25000;
    rightBands[0].mGain = -1000;
    rightBands[1].mFrequency = 27000;
    Recall(left, EQBlock(false, leftBands));
    Recall(right, EQBlock(false, rightBands));
    QByteArray off;
    QDataStream(&off, QIODevice::WriteOnly) << false;
    Recall(*low.GetGang(), off);
    rig.Settle();
    QVERIFY(!low.GetGang()->GetGang());
    QCOMPARE(int(right.GetBand(0).mGain), -1000);
    QCOMPARE(int(right.GetBand(1).mFrequency), 27000);
    QCOMPARE(int(left.GetBand(1).mFrequency), 25000);
    // A ganged file whose right blocks differ: the right follows the left
    // at once, before any link is made.
    Recall(right, EQBlock(false, rightBands));
    QByteArray on;
    QDataStream(&on, QIODevice::WriteOnly) << true;
    Recall(*low.GetGang(), on);
    QCOMPARE(int(right.GetBand(0).mGain), 1000);
    QCOMPARE(int(right.GetBand(1).mFrequency), 25000);
    rig.Settle();
    QCOMPARE(int(right.GetBand(1).mFrequency), 25000);
  }

  void delays() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cDelayDriver driver("delay", 2, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get(), false);
    cDelayUnit& unit = *driver.GetUnit();
    // Stored delays go out on the second tick after start.
    QCOMPARE(rig.Tick().Count(), std::size_t(0));
    sSentPackets sent = rig.Tick();
    QCOMPARE(sent.mDelays.size(), std::size_t(2));
    QCOMPARE(sent.mDelays.at(1).mIndex, ULONG(3));
    cNetProbe sender("sender");
    cNetProbe listener("listener");
    LinkParameter(unit, cDelayUnit::kMethodLeft, listener, cDelayUnit::kMethodLeft);
    // Rapid changes: only the last, two ticks after it.
    sender.SendTo(unit.GetHandle(), cDelayUnit::kMethodLeft, UWORDBytes(40000));
    QCOMPARE(rig.Tick().Count(), std::size_t(0));
    sender.SendTo(unit.GetHandle(), cDelayUnit::kMethodLeft, UWORDBytes(50000));
    QCOMPARE(rig.Tick().Count(), std::size_t(0));
    sent = rig.Tick();
    QCOMPARE(sent.mDelays.size(), std::size_t(1));
    QCOMPARE(sent.mDelays.at(0).mSamples, cDelayDriver::SamplesOfCode(50000));
    // 10^5 s does not fit the device's field: kept off the wire, and the
    // listeners hear the delay kept.
    cReportCapture reports;
    listener.mReceived.clear();
    sender.SendTo(unit.GetHandle(), cDelayUnit::kMethodLeft, UWORDBytes(65535));
    sender.SendTo(unit.GetHandle(), cDelayUnit::kMethodGang, Bytes1(3));
    rig.Tick();
    QCOMPARE(rig.Tick().Count(), std::size_t(0));
    QCOMPARE(unit.GetDelay(0), UWORD(50000));
    QVERIFY(!unit.GetGang());
    QVERIFY(reports.Contains("delay left: 99922.7 s does not fit the device's delay (at most 22369.6 s); not applied"));
    QVERIFY(reports.Contains("delay: gang 3 is not 0 or 1; not applied"));
    QCOMPARE(Word(listener.Received(cDelayUnit::kMethodLeft).at(0)), UWORD(50000));
    // Gang on copies left to right; setting the right copies it to the left
    // and informs the left.
    sender.SendTo(unit.GetHandle(), cDelayUnit::kMethodGang, Bytes1(1));
    Deliver();
    QCOMPARE(unit.GetDelay(1), UWORD(50000));
    listener.mReceived.clear();
    sender.SendTo(unit.GetHandle(), cDelayUnit::kMethodRight, UWORDBytes(30000));
    Deliver();
    QCOMPARE(unit.GetDelay(0), UWORD(30000));
    QCOMPARE(listener.Received(cDelayUnit::kMethodLeft).size(), std::size_t(1));
    rig.Tick();
    sent = rig.Tick();
    QCOMPARE(sent.mDelays.size(), std::size_t(2));
    QCOMPARE(sent.mDelays.at(0).mSamples, cDelayDriver::SamplesOfCode(30000));
    QCOMPARE(cDelayDriver::SamplesOfCode(0), 0);
    QCOMPARE(cDelayDriver::SamplesOfCode(1), 0);  // 1 us: 0.096 samples
    QCOMPARE(cDelayDriver::SamplesOfCode(TimeToUWORD(0.001)), 96);
  }

  void strips() {
    QCOMPARE(cControlStripDriver::GainToLinear(0), INT32_MAX);
    QCOMPARE(cControlStripDriver::GainToLinear(6400), INT32_MAX);  // above full scale: saturated
    // Every 1/256 dB reaches the device, not whole decibels: faders at -9.5,
    // +0.1 and -0.5 dB are those gains, not -9, +1 and 0.
    const auto below = [](int gain) {
      return 20.0 * std::log10(cControlStripDriver::GainToLinear(gain) / 2147483647.0);
    };
    for (double fader : {-9.5, 0.1, -0.5, 12.0, -0.00390625, -39.99}) {
      const int gain = int(std::lround(fader * 256.0)) - cControlStripDriver::kFullScaleGain;
      QVERIFY2(std::fabs(below(gain) - gain / 256.0) < 1e-6, qPrintable(QString::number(fader)));
    }
    QCOMPARE(cControlStripDriver::GainToLinear(-1536), 1076291388);  // -6 dB, truncated
    QVERIFY(cControlStripDriver::GainToLinear(-1) < INT32_MAX);
    QVERIFY(cControlStripDriver::GainToLinear(-32772) < 1000);  // -128 dB, never wrapped loud

    cAudioRig rig;
    QVERIFY(rig.Ready());
    cInOutFader faders(rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    sSentPackets sent = rig.Sent();
    QCOMPARE(sent.mStrips.size(), std::size_t(8));
    // An output strip with polarity off is inverted on the device.
    QCOMPARE(sent.mStrips.at(2).mPolarity, ULONG(1));
    QCOMPARE(sent.mStrips.at(0).mPolarity, ULONG(0));
    cControlStripUnit& output = *faders.GetStrip(2)->GetUnit();
    QCOMPARE(QString(output.GetName()), QString("InOutFader:L Control Strip Unit1"));
    cNetProbe sender("sender");
    const auto gain = [&](int g) {
      sender.SendTo(output.GetHandle(), cControlStripUnit::kMethodGain, UWORDBytes(GainToUWORD(GAIN(g))));
      return rig.Sent();
    };
    sent = gain(3082);
    QCOMPARE(sent.mStrips.at(0).mLinear, -INT32_MAX);
    QCOMPARE(sent.mStrips.at(0).mGainWord, UWORD(3082));
    const std::int32_t quiet = gain(-29690).mStrips.at(0).mLinear;  // just above the silence limit
    QVERIFY(quiet < 0 && quiet > -1000);
    QCOMPARE(gain(-29696).mStrips.at(0).mLinear, 0);
    // Above the processor's full scale: refused, nothing sent.
    {
      cReportCapture reports;
      QCOMPARE(gain(32767).Count(), std::size_t(0));
      QCOMPARE(gain(3083).Count(), std::size_t(0));
      QCOMPARE(int(output.GetGain()), -29696);
      QVERIFY(reports.Contains("Output 1 L fader: gain +127.996 dB is above the processor's full scale +12.039 dB"));
    }
    // Muting holds the gain; the fader moves only the held gain; unmuting sends it.
    gain(1546);
    sender.SendTo(output.GetHandle(), cControlStripUnit::kMethodMute, Bytes1(1));
    sent = rig.Sent();
    QCOMPARE(sent.mStrips.at(0).mMute, ULONG(1));
    QCOMPARE(sent.mStrips.at(0).mLinear, 0);
    QCOMPARE(sent.mStrips.at(0).mGainWord, UWORD(1546));
    sent = gain(0);
    QCOMPARE(sent.mStrips.at(0).mMute, ULONG(1));
    QCOMPARE(sent.mStrips.at(0).mLinear, 0);
    QCOMPARE(int(faders.GetStrip(2)->GetHeldGain()), 0);
    sender.SendTo(output.GetHandle(), cControlStripUnit::kMethodMute, Bytes1(0));
    sent = rig.Sent();
    QCOMPARE(sent.mStrips.at(0).mLinear, -cControlStripDriver::GainToLinear(-3082));
    // A recall of the values it holds still sends the strip.
    QByteArray block;
    QDataStream(&block, QIODevice::WriteOnly) << output.GetMute() << output.GetPolarity() << qint16(output.GetGain());
    Recall(output, block);
    QCOMPARE(rig.Sent().mStrips.size(), std::size_t(1));
  }

  void meters() {
    QCOMPARE(int(cMeteringSources::LevelOfReading(2, 0x80000000u)), 0);
    QCOMPARE(int(cMeteringSources::LevelOfReading(0, 0x80000000u)), 3082);
    QCOMPARE(int(cMeteringSources::LevelOfReading(0, 34035)), -29685);
    QCOMPARE(int(cMeteringSources::LevelOfReading(2, 34035)), -32767);
    QVERIFY(cMeteringSources::LevelOfReading(1, 0xFFFFFFFFu) > 3082);

    cAudioRig rig;
    QVERIFY(rig.Ready());
    cMeteringSources metering(rig.mLink.get());
    cNetProbe listener("listener");
    // The link asks for meters on every beat only while a level is shown.
    TickNetwork();
    QVERIFY(!rig.mLink->MetersShown());
    LinkParameter(metering, cMeteringSources::kMethodFirstLevel, listener, cMeteringSources::kMethodFirstLevel);
    LinkParameter(metering, cMeteringSources::kMethodFirstLevel + 2, listener, cMeteringSources::kMethodFirstLevel + 2);
    // A link with sync gets the level as published: silence so far.
    LinkParameter(metering, cMeteringSources::kMethodFirstLevel + 7, listener, cMeteringSources::kMethodFirstLevel + 7,
                  true);
    Deliver();
    QCOMPARE(listener.Received(cMeteringSources::kMethodFirstLevel + 7).size(), std::size_t(1));
    QCOMPARE(GAIN(Word(listener.Received().back())), GAIN(-28159));
    listener.mReceived.clear();
    // The simulator's meters follow its strips.
    rig.mLink->QueueControlStripMessage(0, INT32_MAX, 0, 0, 0);
    rig.mLink->QueueControlStripMessage(2, INT32_MAX, 0, 0, 0);
    rig.mLink->SetMeterPolling(true);
    QVERIFY(TickUntil([&] { StepLink(*rig.mLink); },
                      [&] {
                        const auto meters = rig.mLink->GetMeterValues();
                        return meters && (*meters)[2] != 0;
                      }));
    TickNetwork();
    QVERIFY(rig.mLink->MetersShown());
    QVERIFY(metering.IsLive());
    QCOMPARE(metering.GetLevel(2), cMeteringSources::LevelOfReading(2, (*rig.mLink->GetMeterValues())[2]));
    const auto published = listener.Received(cMeteringSources::kMethodFirstLevel + 2);
    QCOMPARE(published.back().mPayload.size(), std::size_t(3));
    QCOMPARE(GAIN(Word(published.back()) - 4608), metering.GetLevel(2));
    // The port closes: silence once, published as -28159 every tick.
    rig.mLink->RequestConnection(false, QString());
    QVERIFY(TickUntil([&] { StepLink(*rig.mLink); },
                      [&] { return rig.mLink->GetState() == cSerialInterface::DISCONNECTED; }));
    listener.mReceived.clear();
    TickNetwork();
    TickNetwork();
    QVERIFY(!metering.IsLive());
    QCOMPARE(listener.Received(cMeteringSources::kMethodFirstLevel).size(), std::size_t(2));
    for (const auto& r : listener.Received()) QCOMPARE(GAIN(Word(r)), GAIN(-28159));
    // Switched off: nothing published.
    cNetProbe sender("sender");
    sender.SendTo(metering.GetHandle(), cMeteringSources::kMethodEnable, Bytes1(0));
    TickNetwork();
    QCOMPARE(listener.Received().size(), std::size_t(6));
    QVERIFY(!rig.mLink->MetersShown());
  }

  // A region that keeps its contents gives every unit its stored state,
  // sent as stored at construction, instead of the defaults.
  void storedStateAtStart() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cNetProbe sender("sender");
    tQuantised stored{};
    {
      cLowMidHigh mid(MID, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
      cPassFilterUnit& hpf = *mid.GetHighPass()->GetUnit();
      sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodFrequency, UWORDBytes(25000));
      sender.SendTo(hpf.GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(0));
      rig.Sent();
      stored = hpf.GetCoefficients(0);
    }
    rig.mStorage = std::make_unique<cNonVolatileStorageManager>(rig.mDir.filePath("storage"), 0x200000, false, false);
    cLowMidHigh again(MID, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    const cPassFilterUnit& hpf = *again.GetHighPass()->GetUnit();
    QCOMPARE(hpf.GetFrequency(), UWORD(25000));
    QVERIFY(!hpf.GetBypass());
    const sSentPackets sent = rig.Sent();
    QCOMPARE(sent.mFilters.at(0).mWire, WireOrder(stored));
    QCOMPARE(int(sent.mFilters.at(0).mFrequency), 25000);
  }

  // Units made fresh adopt what the device reports after a sync.
  void syncAdoptsTheDevice() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cNetProbe sender("sender");
    {
      cLowMidHigh mid(MID, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
      cInOutFader faders(rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
      sender.SendTo(mid.GetHighPass()->GetUnit()->GetHandle(), cPassFilterUnit::kMethodFrequency, UWORDBytes(25000));
      sender.SendTo(mid.GetHighPass()->GetUnit()->GetHandle(), cPassFilterUnit::kMethodBypass, Bytes1(0));
      sender.SendTo(mid.GetGang()->GetHandle(), cParametricEQGangDriver::kMethodGang, Bytes1(1));
      rig.Settle();
      sender.SendTo(mid.GetEQ(0)->GetUnit()->GetHandle(), BandMethod(1, cParametricEQUnit::BAND_GAIN),
                    UWORDBytes(GainToUWORD(768)));
      sender.SendTo(mid.GetDelay()->GetUnit()->GetHandle(), cDelayUnit::kMethodRight, UWORDBytes(30000));
      sender.SendTo(faders.GetStrip(4)->GetUnit()->GetHandle(), cControlStripUnit::kMethodGain,
                    UWORDBytes(GainToUWORD(-512)));
      rig.Tick();
      rig.Tick();
    }
    // The next units start from their defaults, made while disconnected.
    rig.mLink->RequestConnection(false, QString());
    QVERIFY(StepLinkUntil(*rig.mLink, cSerialInterface::DISCONNECTED));
    cLowMidHigh mid(MID, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    cInOutFader faders(rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    rig.mLink->RequestConnection(true, QString());
    QVERIFY(StepLinkUntil(*rig.mLink, cSerialInterface::CONNECTED));
    QVERIFY(rig.mLink->StartSync());
    QVERIFY(StepLinkUntil(*rig.mLink, cSerialInterface::SYNCING));
    mid.GetHighPass()->GetUnit()->SyncData();
    mid.GetDelay()->GetUnit()->SyncData();
    mid.GetEQ(0)->GetUnit()->SyncData();
    mid.GetEQ(1)->GetUnit()->SyncData();
    mid.GetGang()->SyncData();
    faders.GetStrip(4)->GetUnit()->SyncData();
    rig.Settle();
    QCOMPARE(mid.GetHighPass()->GetUnit()->GetFrequency(), UWORD(25000));
    QVERIFY(!mid.GetHighPass()->GetUnit()->GetBypass());
    QCOMPARE(int(mid.GetEQ(0)->GetUnit()->GetBand(1).mGain), 768);
    QCOMPARE(int(mid.GetEQ(1)->GetUnit()->GetBand(1).mGain), 768);
    QVERIFY(mid.GetGang()->GetGang());
    // The gang travels in bit 7 of the flags: it is no EQ bypass.
    QVERIFY(!mid.GetEQ(0)->GetUnit()->GetBypass());
    QVERIFY(!mid.GetEQ(1)->GetUnit()->GetBypass());
    QVERIFY(std::abs(int(mid.GetDelay()->GetUnit()->GetDelay(1)) - 30000) <= 1);  // samples round the code
    QCOMPARE(int(faders.GetStrip(4)->GetUnit()->GetGain()), -512);
    QVERIFY(!faders.GetStrip(4)->GetUnit()->GetPolarity());  // the device's 1 on an output strip
  }

  // The read-back adopts only records that arrived, and none that the
  // processor could not have been given.
  void syncTakesOnlyWhatArrived() {
    cAudioRig rig;
    QVERIFY(rig.Ready());
    cLowMidHigh mid(MID, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    cInOutFader faders(rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    cNetProbe sender("sender");
    cControlStripUnit& input = *faders.GetStrip(0)->GetUnit();
    cControlStripUnit& output = *faders.GetStrip(5)->GetUnit();
    sender.SendTo(input.GetHandle(), cControlStripUnit::kMethodGain, UWORDBytes(GainToUWORD(-1024)));
    sender.SendTo(mid.GetDelay()->GetUnit()->GetHandle(), cDelayUnit::kMethodLeft, UWORDBytes(20000));
    rig.Tick();
    rig.Tick();
    // A read-back whose records have not arrived yet: the cleared reply
    // areas are no records.
    rig.Sent();
    QVERIFY(rig.mLink->StartSync());
    cReportCapture reports;
    for (int i = 0; i < cInOutFader::kStripCount; ++i) faders.GetStrip(i)->GetUnit()->SyncData();
    mid.GetDelay()->GetUnit()->SyncData();
    mid.GetEQ(0)->GetUnit()->SyncData();
    rig.Settle();
    QCOMPARE(int(input.GetGain()), -1024);
    QCOMPARE(int(output.GetGain()), int(kGainMinusInfinity));
    QVERIFY(!output.GetPolarity());
    QCOMPARE(int(mid.GetDelay()->GetUnit()->GetDelay(0)), 20000);
    QCOMPARE(rig.Sent().Count(), std::size_t(0));
    QVERIFY(StepLinkUntil(*rig.mLink, cSerialInterface::CONNECTED));

    // The processor holds what no unit would send: a Mid left band at
    // +86 dB, an input strip muted with 2, a negative delay.
    const std::int32_t flat[5] = {kEQIdentity, 0, 0, 0, 0};
    rig.mLink->QueueFilterMessage(FilterAddress(2, 2), flat, 20, 30000, 3328, UWORD(86 * 256), 0, 0, 0);
    rig.mLink->QueueControlStripMessage(0, 0, 0, 0, 2);
    rig.mLink->QueueDelayMessage(2, -5);
    rig.Sent();
    QVERIFY(rig.mLink->StartSync());
    QVERIFY(StepLinkUntil(*rig.mLink, cSerialInterface::SYNCING));
    const tBand band0 = mid.GetEQ(0)->GetUnit()->GetBand(0);
    input.SyncData();
    mid.GetDelay()->GetUnit()->SyncData();
    mid.GetEQ(0)->GetUnit()->SyncData();
    mid.GetGang()->SyncData();
    rig.Settle();
    QCOMPARE(int(input.GetGain()), -1024);
    QVERIFY(!input.GetMute());
    QCOMPARE(int(mid.GetDelay()->GetUnit()->GetDelay(0)), 20000);
    QCOMPARE(mid.GetEQ(0)->GetUnit()->GetBand(0).mGain, band0.mGain);
    QVERIFY(reports.Contains("Input L fader: mute 2 is not 0 or 1; Input L fader keeps its values"));
    QVERIFY(reports.Contains("Mid delay left: -5 samples is no delay; Mid delay keeps its values"));
    QVERIFY(
        reports.Contains("Mid EQ left band 1: gain +86.0 dB is outside -15 .. +15 dB; Mid EQ left keeps its values"));
    QVERIFY(reports.Contains("Mid EQ gang: the device's records are not plausible; the gang keeps its value"));
    rig.mLink->SetConnected();
  }

  void panelTypes() {
    cAudioRig rig(false);
    cReportCapture reports;
    cLowMidHigh odd(7, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    QCOMPARE(reports.Count("Invalid Low/Mid/High PanelType. Assuming HIGH mode"), 1);
    QCOMPARE(odd.GetPanelType(), HIGH);
    QCOMPARE(int(odd.GetFilterBase()), 4);
    QCOMPARE(int(odd.GetDelayBase()), 4);
    QCOMPARE(int(odd.GetBandCount()), 6);
    QCOMPARE(QString(odd.GetEQ(1)->GetUnit()->GetName()), QString("LMH 7: R Parametric EQ Unit"));
    cLowMidHigh low(LOW, rig.mStorage.get(), rig.mLink.get(), rig.mSaves.get());
    QCOMPARE(QString(low.GetHighPass()->GetUnit()->GetName()), QString("LMH 1:  HPF Unit"));
    QCOMPARE(int(low.GetEQ(1)->DeviceAddress(1)), (3 << 8) | 1);
    QCOMPARE(low.GetEQ(0)->GetUnit()->GetNumberOfParameters(), EW_NET_DATA_SCALE(14));
  }
};

QTEST_GUILESS_MAIN(tst_AudioUnits)
#include "tst_AudioUnits.moc"
