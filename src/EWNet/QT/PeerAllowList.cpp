#include "EWNet/QT/PeerAllowList.h"

#include <QNetworkInterface>

namespace {

const QPair<QHostAddress, int> kLoopbackV4(QHostAddress(QStringLiteral("127.0.0.0")), 8);
const QPair<QHostAddress, int> kLoopbackV6(QHostAddress(QHostAddress::LocalHostIPv6), 128);

// A peer that reached an IPv6 socket from IPv4 is compared as the IPv4
// address it is.
QHostAddress Plain(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4) : address;
}

// The network of a range, host bits cleared, for showing.
QString RangeText(const QPair<QHostAddress, int>& range) {
  const auto network = QHostAddress::parseSubnet(range.first.toString() + '/' + QString::number(range.second));
  return (network.second >= 0 ? network.first : range.first).toString() + '/' + QString::number(range.second);
}

}  // namespace

cPeerAllowList::cPeerAllowList() : mRanges{kLoopbackV4, kLoopbackV6} {}

cPeerAllowList cPeerAllowList::Any() {
  cPeerAllowList list;
  list.mRanges.clear();
  list.mAny = true;
  return list;
}

cPeerAllowList cPeerAllowList::Parse(const QString& text) {
  cPeerAllowList list;
  const QString whole = text.trimmed();
  if (whole.isEmpty() || whole.compare(QLatin1String(kOff), Qt::CaseInsensitive) == 0) return list;
  list.mRanges.clear();
  for (const QString& part : whole.split(',')) {
    const QString entry = part.trimmed();
    if (entry.isEmpty()) continue;
    if (entry.compare(QLatin1String(kAny), Qt::CaseInsensitive) == 0) {
      list.mAny = true;
      continue;
    }
    if (entry.compare(QLatin1String(kLocalSubnets), Qt::CaseInsensitive) == 0) {
      list.mLocal = true;
      continue;
    }
    if (entry.contains('/')) {
      const tRange range = QHostAddress::parseSubnet(entry);
      if (range.second < 0 || range.first.isNull()) {
        list.mInvalid << entry;
      } else {
        list.mRanges << tRange(Plain(range.first), range.second);
      }
      continue;
    }
    QHostAddress address(entry);
    if (address.isNull()) {
      list.mInvalid << entry;
      continue;
    }
    address.setScopeId(QString());
    const QHostAddress plain = Plain(address);
    list.mRanges << tRange(plain, plain.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
  }
  return list;
}

QList<QPair<QHostAddress, int>> cPeerAllowList::LocalSubnets() {
  QList<tRange> subnets;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
    if (!interface.flags().testFlag(QNetworkInterface::IsUp)) continue;
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
      if (entry.ip().isNull() || entry.prefixLength() < 0) continue;
      QHostAddress ip = entry.ip();
      ip.setScopeId(QString());
      subnets << tRange(ip, entry.prefixLength());
    }
  }
  return subnets;
}

bool cPeerAllowList::Admits(const QHostAddress& peer) const {
  if (peer.isNull()) return false;
  if (mAny) return true;
  QHostAddress address = Plain(peer);
  address.setScopeId(QString());
  for (const tRange& range : mRanges) {
    if (address.isInSubnet(range.first, range.second)) return true;
  }
  if (!mLocal) return false;
  for (const tRange& range : LocalSubnets()) {
    if (address.isInSubnet(range.first, range.second)) return true;
  }
  return false;
}

bool cPeerAllowList::IsLoopbackRange(const tRange& range) {
  if (range.first.protocol() == QAbstractSocket::IPv4Protocol) {
    return range.second >= kLoopbackV4.second && range.first.isInSubnet(kLoopbackV4.first, kLoopbackV4.second);
  }
  return range.second == 128 && range.first == kLoopbackV6.first;
}

bool cPeerAllowList::AdmitsRemotePeers() const {
  if (mAny || mLocal) return true;
  for (const tRange& range : mRanges) {
    if (!IsLoopbackRange(range)) return true;
  }
  return false;
}

QStringList cPeerAllowList::Describe() const {
  QStringList entries;
  if (mAny) entries << QLatin1String(kAny);
  for (const tRange& range : mRanges) entries << RangeText(range);
  if (mLocal) entries << QLatin1String(kLocalSubnets);
  return entries;
}
