#pragma once

// What the fuzz targets share: a Qt application for the objects that need
// one, the program's units without a device (made once, kept across inputs),
// and the checks an input must never break.

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/ConfigurationCheck.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace fuzzsupport {

// The program's reports would drown the fuzzer's own output; they are not
// what is checked.
inline void QuietReports() {
  ewlog::SetSink([](const std::string&) {});
}

inline QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "orvel-fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
  return application;
}

// An invariant the input broke: stops the run with a finding.
[[noreturn]] inline void Broken(const char* what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "fuzz invariant broken: %s %s\n", what, detail.c_str());
  std::abort();
}

inline QByteArray Json(const sConfiguration& configuration) {
  return QJsonDocument(configjson::Encode(configuration)).toJson(QJsonDocument::Compact);
}

// The units hold only what the processor can realise, and every section the
// device would have received is stable as it gets it.
inline void ExpectPlausible(const cOfflineAssembly& assembly) {
  const std::vector<std::string> refusals = ConfigurationRefusals(assembly.Read());
  if (!refusals.empty()) Broken("a unit holds an implausible value:", refusals.front());
  for (const auto& entry : assembly.Image().mFilters) {
    const cSerialInterface::sFilterEntry& f = entry.second;
    // Slots 0 and 1 of a chain are the pass filters' (scale 2), the rest the
    // equaliser's (scale 8).
    const double scale = (f.mAddress >> 8) < 2 ? biquad::kPassScale : biquad::kEQScale;
    const double one = 2147483648.0 / scale;
    const double a1 = -f.mCoefficients[1] / one;  // wire order: b0, -a1, b1, -a2, b2
    const double a2 = -f.mCoefficients[3] / one;
    if (!(std::abs(a2) < 1.0 && std::abs(a1) < 1.0 + a2)) {
      Broken("an unstable section was sent to address", std::to_string(f.mAddress));
    }
  }
}

}  // namespace fuzzsupport
