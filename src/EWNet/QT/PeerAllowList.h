#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The peers an object-network server admits, as a user writes them: a
// comma-separated list of addresses ("192.168.1.20", "::1") and CIDR ranges
// ("192.168.1.0/24"), the word "local" for the subnets of this machine's
// interfaces as they are when a peer connects, or the single word "any".
// An empty text, or "off", admits the loopback addresses only.
//
// Entries that are none of these are kept aside as invalid; they admit no
// one, so a mistyped entry narrows the list instead of widening it.
class cPeerAllowList {
 public:
  static constexpr const char* kAny = "any";
  static constexpr const char* kOff = "off";
  static constexpr const char* kLocalSubnets = "local";

  // Loopback only (127.0.0.0/8 and ::1).
  cPeerAllowList();
  static cPeerAllowList Parse(const QString& text);
  static cPeerAllowList Any();

  // Any thread (reads only; "local" asks the system for its interfaces).
  bool Admits(const QHostAddress& peer) const;
  // Whether any peer outside this machine's loopback addresses can get in.
  bool AdmitsRemotePeers() const;

  bool IsValid() const { return mInvalid.isEmpty(); }
  const QStringList& InvalidEntries() const { return mInvalid; }
  // What a peer is checked against, one range or word per entry
  // ("127.0.0.0/8", "any", "local").
  QStringList Describe() const;
  // The ranges "local" stands for at this moment.
  static QList<QPair<QHostAddress, int>> LocalSubnets();

 private:
  using tRange = QPair<QHostAddress, int>;
  static bool IsLoopbackRange(const tRange& range);

  bool mAny = false;
  bool mLocal = false;
  QList<tRange> mRanges;
  QStringList mInvalid;
};
