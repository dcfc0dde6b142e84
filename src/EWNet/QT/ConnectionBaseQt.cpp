#include "EWNet/QT/ConnectionBaseQt.h"

#include <cstring>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"

void EWNetAnswerFindFailed(const cEWNetMessage& find, UWORD viaConnection) {
  cEWNetMessage reply;
  EWNetAddress(reply, viaConnection, find.mSource, M_REPLY_FAIL, 0).mSource = 0;
  SendMessage(reply);
}

cConnectionBaseQt::cConnectionBaseQt(UWORD connectionId, ULONG queueCapBytes, QObject* parent)
    : QObject(parent), cConnectionBase(connectionId), mQueueCapBytes(queueCapBytes) {
  connect(this, &cConnectionBaseQt::Send, this, &cConnectionBaseQt::Transmit, Qt::QueuedConnection);
}

cConnectionBaseQt::~cConnectionBaseQt() = default;

bool cConnectionBaseQt::QueueEWNetMessage(const cEWNetMessage& message, bool version2) {
  QByteArray packet(int(ewframe::EncodedMessageSize(message, version2)), Qt::Uninitialized);
  ewframe::EncodeMessage(message, version2, reinterpret_cast<UBYTE*>(packet.data()));
  return Enqueue(std::move(packet));
}

bool cConnectionBaseQt::QueueUtilMessage(const UBYTE* payload, UWORD count) {
  QByteArray packet(int(ewframe::EncodedUtilSize(count)), Qt::Uninitialized);
  ewframe::EncodeUtil(payload, count, reinterpret_cast<UBYTE*>(packet.data()));
  return Enqueue(std::move(packet));
}

bool cConnectionBaseQt::Enqueue(QByteArray&& packet) {
  bool first = false;
  bool overflow = false;
  {
    std::lock_guard<std::mutex> lock(mQueueLock);
    if (mQueueingStopped) return false;
    if (mQueuedBytes + ULONG(packet.size()) > mQueueCapBytes) {
      // The peer is not taking what it is sent: nothing more is queued, and
      // the owner disconnects it. Stopping makes this the only report.
      overflow = true;
      mQueueingStopped = true;
    } else {
      mQueuedBytes += ULONG(packet.size());
      mQueue.push_back(std::move(packet));
      first = mQueue.size() == 1;
    }
  }
  if (overflow) {
    EW_REPORT_ERROR("Send queue of connection %d reached its cap of %lu bytes; the peer is disconnected",
                    int(mConnectionId), static_cast<unsigned long>(mQueueCapBytes));
    emit SendQueueOverflow();
    return false;
  }
  if (first) emit Send();
  return true;
}

bool cConnectionBaseQt::TakeNextPacket(QByteArray& packet) {
  std::lock_guard<std::mutex> lock(mQueueLock);
  if (mQueue.empty()) return false;
  packet = std::move(mQueue.front());
  mQueue.pop_front();
  mQueuedBytes -= ULONG(packet.size());
  return true;
}

ULONG cConnectionBaseQt::QueuedBytes() {
  std::lock_guard<std::mutex> lock(mQueueLock);
  return mQueuedBytes;
}

void cConnectionBaseQt::StopQueueing() {
  std::deque<QByteArray> dropped;
  {
    std::lock_guard<std::mutex> lock(mQueueLock);
    mQueueingStopped = true;
    dropped.swap(mQueue);
    mQueuedBytes = 0;
  }
}

bool cConnectionBaseQt::RouterIsBehind() { return GetNumberOfQueuedMessages() >= kEWNetReadPauseQueuedMessages; }

namespace {

// A find whose path names a host would make this program connect out on a
// remote peer's behalf.
bool NamesAHost(const cEWNetMessage& find) {
  if (find.mLength == 0) return false;
  const void* nul = std::memchr(find.mData, 0, find.mLength);
  const size_t length = nul != nullptr ? size_t(static_cast<const UBYTE*>(nul) - find.mData) : find.mLength;
  return std::memchr(find.mData, '/', length) != nullptr;
}

}  // namespace

void cConnectionBaseQt::DeliverRemoteMessage(cEWNetMessage& message) {
  message.mConnectionId = mConnectionId;
  if (message.mMethod == M_OBJECT_ADD_TO_INFORM_LIST || message.mMethod == M_OBJECT_REMOVE_FROM_INFORM_LIST) {
    if (message.mLength < 2) {
      EW_REPORT_ERROR("Inform-list message of %d bytes from connection %d refused", int(message.mLength),
                      int(mConnectionId));
      return;
    }
    // The link must lead back over this connection, whatever the peer wrote.
    message.SetUWORD(0, mConnectionId);
  }
  if (message.mMethod == M_REG_FIND_OBJECT && message.mDestination == 0 && NamesAHost(message)) {
    EW_REPORT_ERROR("Find naming a host from connection %d refused", int(mConnectionId));
    EWNetAnswerFindFailed(message, mConnectionId);
    return;
  }
  cRegistryRouter* router = GetRegistryRouter();
  if (router == nullptr) return;
  router->AddMessageToMessageBuffer(message);
  WakeDispatchThread();
}
