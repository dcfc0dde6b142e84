#pragma once

#include <QJsonObject>
#include <QString>

#include "OrvelGUI/Config/Configuration.h"

// The public, stable JSON form of a configuration:
//   {"format": "orvel-config", "version": 3,
//    "strips": [8 x {"name", "mute", "polarity", "gain", "gain_db"}],
//    "panels": [Low, Mid, High: {"name",
//       "high_pass"/"low_pass": {"frequency", "frequency_hz", "slope", "slope_name", "bypass"},
//       "delay": {"left", "right", "left_ms", "right_ms", "gang"},
//       "eq": [{"side": "left"|"right", "bypass", "bands": [{"frequency", "frequency_hz", "width", "q",
//               "gain", "gain_db", "type", "type_name", "variant", "bypass"}]}],
//       "gang"}]}
// Stored values appear as the file holds them: codes as unsigned 16-bit
// numbers, gains signed (-32767 is minus infinity, with "gain_db" null),
// slopes and band types as unsigned 32-bit numbers. The other keys are
// derived for reading and ignored when decoding.

namespace configjson {

constexpr const char* kFormat = "orvel-config";
constexpr int kVersion = 3;

QJsonObject Encode(const sConfiguration& configuration);

// Checks the whole document before anything is taken: structure, counts (8
// strips; 3 panels of 2, 4 and 6 bands) and the range of every stored
// value. On failure `error` names the first offending key.
bool Decode(const QJsonObject& document, sConfiguration& configuration, QString& error);

}  // namespace configjson
