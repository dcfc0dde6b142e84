#include "EWNet/QT/RemoteSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/QT/NetworkConnection.h"

namespace {
std::atomic<int> gProbeCount{0};
}

// Receives on the dispatch thread what the remote unit answers; the session
// reads it on the main thread.
class cRemoteSession::cProbe : public cNetObject {
 public:
  struct sValue {
    UWORD mConnectionId;
    EW_NET_DATA_SCALE mSource;
    UWORD mMethod;
    QByteArray mBytes;
  };

  explicit cProbe(const QByteArray& name) : cNetObject(name.constData(), 0, false, false) {}
  ~cProbe() override { Unregister(); }

  void EntrypointMessage(cEWNetMessage& message) override {
    if (message.mMethod == M_REPLY_OK || message.mMethod == M_REPLY_FAIL || message.mMethod >= PARAMETER_BASE) {
      std::lock_guard<std::mutex> lock(mLock);
      mValues.push_back({message.mConnectionId, message.mSource, message.mMethod,
                         QByteArray(reinterpret_cast<const char*>(message.mData), message.mLength)});
      mArrived.notify_all();
      return;
    }
    cNetObject::EntrypointMessage(message);
  }

  // Takes the first value that matches, if any.
  bool Take(const std::function<bool(const sValue&)>& matches, sValue& taken) {
    std::lock_guard<std::mutex> lock(mLock);
    for (auto it = mValues.begin(); it != mValues.end(); ++it) {
      if (!matches(*it)) continue;
      taken = *it;
      mValues.erase(it);
      return true;
    }
    return false;
  }

  void WaitBriefly(int ms) {
    std::unique_lock<std::mutex> lock(mLock);
    mArrived.wait_for(lock, std::chrono::milliseconds(ms));
  }

  cEWNetMessage mOutgoing;

 private:
  std::mutex mLock;
  std::condition_variable mArrived;
  std::deque<sValue> mValues;
};

cRemoteSession::cRemoteSession(int answerTimeoutMs) : mTimeoutMs(answerTimeoutMs) {
  const QByteArray name = "Remote Session Probe " + QByteArray::number(gProbeCount.fetch_add(1) + 1);
  // The dispatch thread may be delivering meanwhile.
  cRegistryLocker lock;
  mProbe.reset(new cProbe(name));
}

cRemoteSession::~cRemoteSession() {
  {
    cRegistryLocker lock;
    mProbe.reset();  // tells linked remote objects that it is gone
  }
  cNetworkConnection* manager = cNetworkConnection::Instance();
  if (manager == nullptr || mConnection == 0xFFFF) return;
  const std::string host = manager->HostNameOfConnection(mConnection);
  manager->DisconnectConnectionID(mConnection);
  Await([&] { return manager->HostNameOfConnection(mConnection) != host; }, mTimeoutMs);
}

bool cRemoteSession::Await(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (mProbe) {
      mProbe->WaitBriefly(2);
    } else {
      QThread::msleep(2);
    }
  }
  return true;
}

bool cRemoteSession::Connect(const std::string& host, QString& error) {
  cNetworkConnection* manager = cNetworkConnection::Instance();
  if (manager == nullptr) {
    error = "no connection manager";
    return false;
  }
  // The refusal may come before the connection's ID is known here, on the
  // connection's thread.
  struct sRefusals {
    std::mutex mLock;
    std::vector<std::pair<UWORD, UBYTE>> mSeen;
    UBYTE Of(UWORD id) {
      std::lock_guard<std::mutex> lock(mLock);
      for (const auto& seen : mSeen)
        if (seen.first == id) return seen.second != 0 ? seen.second : UBYTE(0xFF);
      return 0;
    }
  };
  auto refusals = std::make_shared<sRefusals>();
  const QMetaObject::Connection watch = QObject::connect(manager, &cNetworkConnection::RefusedByPeer,
                                                         [refusals](UWORD id, const std::string&, UBYTE reason) {
                                                           std::lock_guard<std::mutex> lock(refusals->mLock);
                                                           refusals->mSeen.emplace_back(id, reason);
                                                         });
  mConnection = manager->OutgoingRemoteConnection(host);
  const QString name = QString::fromStdString(host);
  if (mConnection == 0xFFFF) {
    QObject::disconnect(watch);
    error = QString("cannot connect to %1").arg(name);
    return false;
  }
  const std::string hostName = manager->HostNameOfConnection(mConnection);
  const bool ended = Await(
      [&] {
        return refusals->Of(mConnection) != 0 || manager->IsHandshakeComplete(mConnection) ||
               manager->HostNameOfConnection(mConnection) != hostName;
      },
      mTimeoutMs);
  QObject::disconnect(watch);
  mRefusal = refusals->Of(mConnection);
  if (mRefusal != 0) {
    error = QString("%1 refused the connection (reason %2)").arg(name).arg(int(mRefusal));
    return false;
  }
  if (manager->IsHandshakeComplete(mConnection)) return true;
  error = ended ? QString("%1 closed the connection before answering its hello").arg(name)
                : QString("%1 did not answer the connection's hello").arg(name);
  return false;
}

void cRemoteSession::Send(EW_NET_DATA_SCALE handle, UWORD method, const QByteArray& payload) {
  cEWNetMessage& message = EWNetAddress(mProbe->mOutgoing, mConnection, handle, method, UWORD(payload.size()));
  message.mSource = mProbe->GetHandle();
  if (!payload.isEmpty()) std::memcpy(message.mData, payload.constData(), size_t(payload.size()));
  SendMessage(message);
}

bool cRemoteSession::Find(const QString& name, EW_NET_DATA_SCALE& handle, int& answerBytes, QString& error) {
  QByteArray path = name.toLatin1();
  path.append('\0');
  Send(0, M_REG_FIND_OBJECT, path);
  cProbe::sValue reply;
  const auto isReply = [&](const cProbe::sValue& v) {
    return v.mConnectionId == mConnection && (v.mMethod == M_REPLY_OK || v.mMethod == M_REPLY_FAIL);
  };
  if (!Await([&] { return mProbe->Take(isReply, reply); }, mTimeoutMs)) {
    error = QString("no answer to the find of \"%1\"").arg(name);
    return false;
  }
  const auto* bytes = reinterpret_cast<const UBYTE*>(reply.mBytes.constData());
  answerBytes = reply.mBytes.size();
  if (reply.mMethod != M_REPLY_OK || (answerBytes != 2 && answerBytes != 4)) {
    error = QString("\"%1\" not found").arg(name);
    return false;
  }
  // The 4-byte form is cut to the 16-bit handles of this network.
  handle =
      answerBytes == 4 ? EW_NET_DATA_SCALE((bytes[2] << 8) | bytes[3]) : EW_NET_DATA_SCALE((bytes[0] << 8) | bytes[1]);
  return true;
}

void cRemoteSession::Link(EW_NET_DATA_SCALE handle, UWORD method, bool remove) {
  // The peer writes its own ID for this connection over the first word.
  const UWORD words[] = {0, mProbe->GetHandle(), method, method};
  QByteArray payload;
  for (UWORD word : words) payload.append(char(word >> 8)).append(char(word & 0xFF));
  if (!remove) payload.append('\0').append('\1');  // not a datagram; sync now
  Send(handle, remove ? M_OBJECT_REMOVE_FROM_INFORM_LIST : M_OBJECT_ADD_TO_INFORM_LIST, payload);
}

bool cRemoteSession::TakeValue(EW_NET_DATA_SCALE handle, UWORD method, QByteArray& value) {
  cProbe::sValue taken;
  const bool found = mProbe->Take(
      [&](const cProbe::sValue& v) {
        return v.mConnectionId == mConnection && v.mSource == handle && v.mMethod == method;
      },
      taken);
  if (found) value = taken.mBytes;
  return found;
}

bool cRemoteSession::Watch(EW_NET_DATA_SCALE handle, UWORD method, int seconds,
                           const std::function<void(const QByteArray&)>& onValue, QString& error) {
  Link(handle, method, false);
  int values = 0;
  QByteArray value;
  Await(
      [&] {
        for (; TakeValue(handle, method, value); ++values) onValue(value);
        return false;
      },
      seconds * 1000);
  Link(handle, method, true);
  if (values == 0) error = "no value arrived";
  return values > 0;
}

bool cRemoteSession::Get(EW_NET_DATA_SCALE handle, UWORD method, QByteArray& value, QString& error) {
  Link(handle, method, false);
  const bool got = Await([&] { return TakeValue(handle, method, value); }, mTimeoutMs);
  Link(handle, method, true);
  if (!got) error = "the parameter sent no value";
  return got;
}

bool cRemoteSession::Set(EW_NET_DATA_SCALE handle, UWORD method, const QByteArray& value, QString& error) {
  if (value.size() > 0xFFFF) {
    error = "value too long";
    return false;
  }
  Send(handle, method, value);
  return true;
}
