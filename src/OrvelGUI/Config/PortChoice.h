#pragma once

#include <QString>

// Which serial port a device command uses, told to the user before it
// connects, and why a port did not open, in the system's words: the link
// itself only knows that it failed.
struct sPortChoice {
  bool mFound = false;
  QString mName;    // as ports lists it
  QString mPath;    // the device path it opens
  QString mReason;  // "the first listed port", "named by --port"; or why none was found
};

// `requested` as --port takes it (a listed name, a device path or a link to
// one), or empty for the first listed port.
sPortChoice ChoosePort(const QString& requested);

// "stderr line" for a device command: "Port ttyACM0 (/dev/ttyACM0), the first
// listed port" or "No port: ..." when none matches.
QString PortChoiceText(const sPortChoice& choice);

// Why the device path does not open for reading and writing ("Permission
// denied"); empty when it opens. Opens without becoming the controlling
// terminal and closes again at once.
QString PortOpenFailure(const QString& path);

// The link's message for a port that did not open, followed by the reason:
// the system's, or that no listed port matched. Other messages stay as they are.
QString ExplainOpenFailure(const QString& linkError, const sPortChoice& choice);
