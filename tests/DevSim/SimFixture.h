#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DevSim/DeviceSimulator.h"

// Helpers shared by the tests that talk to the device simulator over a real
// pseudo-terminal.

// Starts a simulator, or fails the calling test.
inline std::unique_ptr<devsim::cDeviceSimulator> StartSimulator(devsim::sSimulatorOptions options = {}) {
  auto simulator = std::make_unique<devsim::cDeviceSimulator>(std::move(options));
  std::string error;
  if (!simulator->Start(error)) {
    QTest::qFail(qPrintable(QString("simulator did not start: ") + QString::fromStdString(error)), __FILE__, __LINE__);
    return nullptr;
  }
  return simulator;
}

// Lists the given device paths as the processor's ports for this process.
inline void UseDevicePorts(const QStringList& paths) { qputenv("ORVEL_SERIAL_PORTS", paths.join(':').toLocal8Bit()); }

// Calls `step` (one tick) until `done` holds, with a short pause between
// ticks; false when `timeoutMs` passes first.
inline bool TickUntil(const std::function<void()>& step, const std::function<bool()>& done, int timeoutMs = 3000,
                      int pauseMs = 2) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    step();
    if (done()) return true;
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(static_cast<unsigned long>(pauseMs));
  }
}

inline QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

inline QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

// Types of the packets the simulator received, in order, as "0,4,2".
inline QString ReceivedTypes(const devsim::cDeviceSimulator& simulator) {
  QStringList types;
  for (const devsim::sWirePacket& packet : simulator.Received()) types << QString::number(packet.mType);
  return types.join(',');
}
