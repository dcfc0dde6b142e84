#pragma once

#include <QString>
#include <memory>

class cNetworkConnection;
class cPeerAllowList;

// Which peers may connect to the program's object network: the user's
// setting "network/allow" (kept with QSettings under the organisation and
// application names of the program), which ORVEL_NETWORK_ALLOW replaces for
// a run, until the editor's switch is used. The text is what cPeerAllowList
// reads; unset, or "off", admits the loopback addresses only, so the
// program's own tools on this machine keep working while remote peers stay
// out. The switch turns remote peers on as "local" (the subnets of this
// machine's interfaces, as they are when a peer connects) and off as "off".
//
// Main thread (the connection manager asks on it for every new peer).
namespace networkaccess {

constexpr const char* kSettingKey = "network/allow";
constexpr const char* kEnvironmentVariable = "ORVEL_NETWORK_ALLOW";

// The setting as stored, empty when unset.
QString StoredText();
// Writes the setting; false, with the reason, when the text names entries
// that are neither addresses nor ranges, or it could not be written. A
// running program takes a stored change for its next peers within a second.
bool Store(const QString& text, QString& error);

// What is in force now, and where it comes from ("ORVEL_NETWORK_ALLOW" or
// "network/allow"). Invalid entries are reported once for each text.
std::shared_ptr<const cPeerAllowList> InForce();
QString InForceText(QString* origin = nullptr);

// The editor's switch: stores "local" or "off", which is in force from now
// on (also over ORVEL_NETWORK_ALLOW, which it clears for this process).
bool SetRemotePeers(bool on, QString& error);

// Makes the manager ask InForce for every incoming peer.
void Install(cNetworkConnection& manager);

}  // namespace networkaccess
