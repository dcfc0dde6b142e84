#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "OrvelGUI/Config/Configuration.h"

// The JSON form of a configuration (ConfigJson.h) as people write it: any
// field may be left out, arrays may hold only the entries that change (each
// placed by "index", its "name" or "side", else its position), and a value
// may be given by its stored code ("frequency", "gain", "width", "left",
// "slope", "type") or in its unit ("frequency_hz", "gain_db", "q", "left_ms",
// "slope_name", "type_name"), which becomes the nearest code; when both are
// given they must mean the same code, else the document is refused. With a
// panel's gang on, the right equaliser follows the left: what it leaves out
// of the linked parameters is the left one's, and a differing value is
// refused. Unknown keys and values out of range are refused with their path
// ("panels[1].eq[0].bands[2].gain_db").

namespace configjson {

// Parses JSON text into an object; the error names line and column.
bool ParseDocument(const QByteArray& text, QJsonObject& document, QString& error);

// Takes `configuration` as the values of the fields left out and overwrites
// it only when the whole document is good.
bool DecodeOver(const QJsonObject& document, sConfiguration& configuration, QString& error);

}  // namespace configjson
