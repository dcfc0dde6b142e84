#pragma once

#include <QTcpServer>

#include "EWNet/QT/TransportSettings.h"

// Listens on every IPv4 interface from construction and hands each accepted
// connection to the connection manager. Lives on the main thread.
class cEWNetTCPServer : public QTcpServer {
  Q_OBJECT
 public:
  // Port 0 listens on an ephemeral port (see serverPort()).
  explicit cEWNetTCPServer(QObject* parent = nullptr, quint16 port = kEWNetDefaultTcpPort);

 protected:
  void incomingConnection(qintptr socketDescriptor) override;
};
