#include "OrvelGUI/Core/NetworkAccess.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QStringList>
#include <mutex>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/QT/NetworkConnection.h"
#include "EWNet/QT/PeerAllowList.h"
#include "OrvelGUI/Core/Version.h"

namespace networkaccess {

namespace {

// How often a running program looks at the stored setting again.
constexpr qint64 kRereadMs = 1000;

// Named here, not taken from the application object: orvel-cli has none
// of the program's names.
std::unique_ptr<QSettings> ProductSettings() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromLatin1(kOrvelOrganisationName),
                                     QString::fromLatin1(kOrvelApplicationName));
}

struct sInForce {
  std::mutex mLock;
  QElapsedTimer mReadAt;
  QString mStored;
  QString mText;
  std::shared_ptr<const cPeerAllowList> mList;
};

sInForce& State() {
  static sInForce state;
  return state;
}

void ReportInvalid(const cPeerAllowList& list, const QString& text, const QString& origin) {
  for (const QString& entry : list.InvalidEntries()) {
    EW_REPORT_ERROR("%s: \"%s\" is neither an address nor a CIDR range; it admits no one", origin.toUtf8().constData(),
                    entry.toUtf8().constData());
  }
  if (!list.IsValid() && list.Describe().isEmpty()) {
    EW_REPORT_ERROR("%s=\"%s\" admits no peer at all", origin.toUtf8().constData(), text.toUtf8().constData());
  }
}

}  // namespace

QString StoredText() {
  const QVariant value = ProductSettings()->value(QLatin1String(kSettingKey));
  // The settings file may have been written by hand: a list there reads
  // back as a string list.
  if (value.type() == QVariant::StringList) return value.toStringList().join(',');
  return value.toString();
}

bool Store(const QString& text, QString& error) {
  const cPeerAllowList list = cPeerAllowList::Parse(text);
  if (!list.IsValid()) {
    error = QStringLiteral("neither an address nor a CIDR range: ") + list.InvalidEntries().join(", ");
    return false;
  }
  const std::unique_ptr<QSettings> settings = ProductSettings();
  settings->setValue(QLatin1String(kSettingKey), text.trimmed());
  settings->sync();
  if (settings->status() != QSettings::NoError) {
    error = QStringLiteral("cannot write ") + settings->fileName();
    return false;
  }
  std::lock_guard<std::mutex> lock(State().mLock);
  State().mReadAt.invalidate();
  return true;
}

QString InForceText(QString* origin) {
  const QString environment = qEnvironmentVariable(kEnvironmentVariable);
  if (!environment.isEmpty()) {
    if (origin != nullptr) *origin = QLatin1String(kEnvironmentVariable);
    return environment;
  }
  if (origin != nullptr) *origin = QLatin1String(kSettingKey);
  sInForce& state = State();
  std::lock_guard<std::mutex> lock(state.mLock);
  if (!state.mReadAt.isValid() || state.mReadAt.elapsed() >= kRereadMs) {
    state.mStored = StoredText();
    state.mReadAt.start();
  }
  return state.mStored;
}

std::shared_ptr<const cPeerAllowList> InForce() {
  QString origin;
  const QString text = InForceText(&origin);
  sInForce& state = State();
  std::lock_guard<std::mutex> lock(state.mLock);
  if (!state.mList || text != state.mText) {
    auto list = std::make_shared<const cPeerAllowList>(cPeerAllowList::Parse(text));
    ReportInvalid(*list, text, origin);
    state.mText = text;
    state.mList = std::move(list);
  }
  return state.mList;
}

bool SetRemotePeers(bool on, QString& error) {
  if (!Store(QLatin1String(on ? cPeerAllowList::kLocalSubnets : cPeerAllowList::kOff), error)) return false;
  qunsetenv(kEnvironmentVariable);
  return true;
}

void Install(cNetworkConnection& manager) { manager.SetAllowedPeersSource(&InForce, kSettingKey); }

}  // namespace networkaccess
