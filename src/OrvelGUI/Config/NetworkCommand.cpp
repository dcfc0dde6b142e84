#include "OrvelGUI/Config/NetworkCommand.h"

#include <QHostAddress>

#include "EWNet/QT/PeerAllowList.h"
#include "OrvelGUI/Core/NetworkAccess.h"

const char* const kNetworkCommandUsage = "allow LIST|off|show";

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

QString Ranges(const cPeerAllowList& list) {
  QStringList entries = list.Describe();
  if (entries.isEmpty()) return QStringLiteral("none");
  const int local = entries.indexOf(QLatin1String(cPeerAllowList::kLocalSubnets));
  if (local >= 0) {
    QStringList subnets;
    for (const auto& subnet : cPeerAllowList::LocalSubnets()) {
      const QString range = subnet.first.toString() + '/' + QString::number(subnet.second);
      const auto network = QHostAddress::parseSubnet(range);
      subnets << (network.second >= 0 ? network.first.toString() + '/' + QString::number(network.second) : range);
    }
    entries[local] += " (now " + (subnets.isEmpty() ? QStringLiteral("none") : subnets.join(", ")) + ')';
  }
  return entries.join(", ");
}

void Show(QTextStream& out) {
  const QString stored = networkaccess::StoredText();
  out << networkaccess::kSettingKey << ": " << (stored.isEmpty() ? QStringLiteral("(not set)") : stored) << "\n";
  QString origin;
  const QString text = networkaccess::InForceText(&origin);
  if (origin != QLatin1String(networkaccess::kSettingKey)) {
    out << origin << ": " << text << " (in force for programs started with it)\n";
  }
  const cPeerAllowList list = cPeerAllowList::Parse(text);
  out << "Allowed peers: " << Ranges(list) << "\n";
  out << "Remote peers: " << (list.AdmitsRemotePeers() ? "on" : "off") << "\n";
  if (!list.IsValid()) out << "Invalid entries (admit no one): " << list.InvalidEntries().join(", ") << "\n";
}

}  // namespace

int RunNetworkCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  if (arguments.size() != 2 || arguments.at(0) != QLatin1String("allow")) {
    err << "orvel-cli: usage: orvel-cli network " << kNetworkCommandUsage << "\n";
    return kUsage;
  }
  const QString value = arguments.at(1);
  if (value == QLatin1String("show")) {
    Show(out);
    return kOk;
  }
  QString error;
  if (!cPeerAllowList::Parse(value).IsValid()) {
    err << "orvel-cli: " << cPeerAllowList::Parse(value).InvalidEntries().join(", ")
        << ": neither an address nor a CIDR range; nothing changed\n";
    return kUsage;
  }
  if (!networkaccess::Store(value, error)) {
    err << "orvel-cli: " << error << "\n";
    return kFailed;
  }
  Show(out);
  if (!cPeerAllowList::Parse(value).Admits(QHostAddress(QHostAddress::LocalHost))) {
    out << "Note: 127.0.0.1 is not in the list, so this machine's own tools (orvel-cli remote) are refused too.\n";
  }
  return kOk;
}
