#include "EWNet/QT/AcceptedSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QTcpSocket>

namespace acceptedsocket {

QHostAddress PeerAddress(qintptr descriptor) {
  sockaddr_storage peer{};
  socklen_t length = sizeof(peer);
  if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&peer), &length) != 0) return QHostAddress();
  return QHostAddress(reinterpret_cast<const sockaddr*>(&peer));
}

void Refuse(qintptr descriptor, const QByteArray& notice) {
  QTcpSocket socket;
  if (!socket.setSocketDescriptor(descriptor)) {
    ::close(int(descriptor));
    return;
  }
  if (!notice.isEmpty()) {
    socket.write(notice);
    socket.flush();
  }
  socket.abort();
}

}  // namespace acceptedsocket
