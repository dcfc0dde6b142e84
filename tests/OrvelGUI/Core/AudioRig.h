#pragma once

// The audio units against the simulated processor: a storage region, a saves
// manager and a device link connected to the simulator, all driven from the
// test's thread (messages delivered and link ticks stepped by hand).

#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "Common/Qt/NonVolatileStorageManager.h"
#include "DevSim/SimFixture.h"
#include "EWNet/Core/NetProbe.h"
#include "EWNet/Core/SysBuild.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/LinkSupport.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialInterface.h"

// A command 2 as the device received it.
struct sSentFilter {
  ULONG mAddress;
  biquad::tQuantised mWire;  // b0, -a1, b1, -a2, b2
  UWORD mFrequency, mWidth;
  GAIN mGain;
  UBYTE mType, mVariant, mFlags;
};

struct sSentStrip {
  ULONG mIndex;
  std::int32_t mLinear;
  UWORD mGainWord;
  ULONG mPolarity, mMute;
};

struct sSentDelay {
  ULONG mIndex;
  std::int32_t mSamples;
};

struct sSentPackets {
  std::vector<sSentFilter> mFilters;
  std::vector<sSentStrip> mStrips;
  std::vector<sSentDelay> mDelays;
  std::size_t Count() const { return mFilters.size() + mStrips.size() + mDelays.size(); }
};

inline sSentPackets DecodeSent(const std::vector<devsim::sWirePacket>& packets) {
  sSentPackets sent;
  for (const devsim::sWirePacket& packet : packets) {
    const std::uint8_t* p = packet.mBytes.data() + devsim::kHeaderSize;
    const auto le32 = [p](int at) { return devsim::ReadLE32(p + at); };
    if (packet.mType == 2 && packet.mBytes.size() == devsim::kHeaderSize + 33) {
      sSentFilter f{
          le32(0), {},   devsim::ReadLE16(p + 24), devsim::ReadLE16(p + 26), GAIN(devsim::ReadLE16(p + 28)), p[30],
          p[31],   p[32]};
      for (int c = 0; c < 5; ++c) f.mWire[std::size_t(c)] = std::int32_t(le32(4 + 4 * c));
      sent.mFilters.push_back(f);
    } else if (packet.mType == 6 && packet.mBytes.size() == devsim::kHeaderSize + 20) {
      sent.mStrips.push_back({le32(0), std::int32_t(le32(4)), UWORD(le32(8)), le32(12), le32(16)});
    } else if (packet.mType == 8 && packet.mBytes.size() == devsim::kHeaderSize + 8) {
      sent.mDelays.push_back({le32(0), std::int32_t(le32(4))});
    }
  }
  return sent;
}

// One step of a link that the test's thread drives: the one place that knows
// how a link is stepped by hand.
inline void StepLink(cSerialInterface& link) { link.ServiceAndWait(); }

inline bool StepLinkUntil(cSerialInterface& link, cSerialInterface::LinkState state) {
  return TickUntil(
      [&] {
        StepLink(link);
        if (state == cSerialInterface::CONNECTED) TakeReadBack(link);
      },
      [&] { return link.GetState() == state; }, 5000);
}

inline ULONG FilterAddress(int slot, int channel) { return ULONG(slot << 8 | channel); }

inline std::vector<UBYTE> Bytes1(int value) { return {UBYTE(value)}; }

class cAudioRig {
 public:
  explicit cAudioRig(bool withDevice = true) {
    mStorage = std::make_unique<cNonVolatileStorageManager>(mDir.filePath("storage"), 0x200000, false, false);
    mStorage->ClearAll();
    mSaves = std::make_unique<cSavesManager>();
    if (withDevice) mDevice = StartSimulator();
    if (mDevice) UseDevicePorts({QString::fromStdString(mDevice->DevicePath())});
    mLink = std::make_unique<cSerialInterface>();
    mLink->SetMeterPolling(false);
    if (!mDevice) return;
    mLink->RequestConnection(true, QString());
    if (!StepLinkUntil(*mLink, cSerialInterface::CONNECTED)) {
      QTest::qFail("link did not connect", __FILE__, __LINE__);
    }
    mDevice->ClearReceived();
  }
  ~cAudioRig() { qunsetenv("ORVEL_SERIAL_PORTS"); }

  bool Ready() const { return mDevice != nullptr && mLink->GetState() == cSerialInterface::CONNECTED; }

  // Delivers every waiting message, including the system builder's rounds.
  void Settle() {
    for (int i = 0; i < 1000; ++i) {
      Deliver();
      const bool busy = GetSystemBuilder() != nullptr && GetSystemBuilder()->GetLinkPerformance().mBusy;
      if (GetNumberOfQueuedMessages() == 0 && !busy) return;
    }
  }

  // Delivers, then steps the link until everything queued is on the line and
  // the simulator has read it; returns what it read since the last call.
  sSentPackets Sent() {
    Settle();
    const auto lengths = mLink->GetQueueLengths();
    const std::size_t expected = mDevice->ReceivedCount() + lengths.mFilters + lengths.mStrips + lengths.mDelays;
    for (int i = 0; i < 10000 && !mLink->AllSent(); ++i) StepLink(*mLink);
    if (!mDevice->WaitForReceived(expected, 3000)) QTest::qFail("device did not receive", __FILE__, __LINE__);
    const sSentPackets sent = DecodeSent(mDevice->Received());
    mDevice->ClearReceived();
    return sent;
  }

  // One network tick (delay units send on their second).
  sSentPackets Tick() {
    TickNetwork();
    return Sent();
  }

  cNetworkScope mNet;
  QTemporaryDir mDir;
  std::unique_ptr<devsim::cDeviceSimulator> mDevice;
  std::unique_ptr<cNonVolatileStorageManager> mStorage;
  std::unique_ptr<cSavesManager> mSaves;
  std::unique_ptr<cSerialInterface> mLink;
};
