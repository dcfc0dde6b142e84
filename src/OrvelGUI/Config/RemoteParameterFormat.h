#pragma once

#include <QByteArray>
#include <QString>

#include "EWNet/Core/Types.h"

// How the parameters of the product's units and meters read on the wire,
// recognised by the units' object-name patterns and parameter codes.
enum class eRemoteValueKind {
  Raw,         // unknown: bytes only
  Switch,      // 1 byte, 0 off, 1 on
  Byte,        // 1 byte: a slope or band type
  Gain,        // 2 bytes, 1/256 dB in offset form, 0 = minus infinity
  Frequency,   // 2 bytes, frequency code
  Time,        // 2 bytes, time code
  Width,       // 2 bytes, width code; the high byte indexes the Q table
  MeterLevel,  // 3 bytes: level + 4608 (1/256 dB), then 0
};

eRemoteValueKind RemoteValueKind(const QString& objectName, UWORD method);

// Lower-case hex bytes, followed by two spaces and the decoded value for a
// known kind.
QString FormatRemoteValue(eRemoteValueKind kind, const QByteArray& bytes);

// Hex bytes ("8c00", "0x8c00", "8c 00") for any kind; for known kinds also
// "on"/"off", "-6dB", "-inf dB", "1000Hz", "1.2kHz", "5ms", "250us", "0.1s".
bool ParseRemoteValue(eRemoteValueKind kind, const QString& text, QByteArray& bytes, QString& error);
