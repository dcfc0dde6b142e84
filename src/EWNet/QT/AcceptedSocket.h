#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QtGlobal>

// What the transport needs of a socket the TCP server has accepted but not
// yet handed to a connection: who is at the other end, and a way to turn
// it away. Main thread.
namespace acceptedsocket {

// The peer's address, or a null address when the system cannot tell.
QHostAddress PeerAddress(qintptr descriptor);

// Writes `notice` (a few bytes, which fit the fresh socket's buffer) and
// closes the socket. Nothing is read from it.
void Refuse(qintptr descriptor, const QByteArray& notice);

}  // namespace acceptedsocket
