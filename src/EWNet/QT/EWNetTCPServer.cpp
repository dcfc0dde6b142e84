#include "EWNet/QT/EWNetTCPServer.h"

#include <QTcpSocket>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/QT/NetworkConnection.h"

cEWNetTCPServer::cEWNetTCPServer(QObject* parent, quint16 port) : QTcpServer(parent) {
  if (!listen(QHostAddress::AnyIPv4, port)) {
    EW_REPORT_ERROR("EWNet TCP server cannot listen on port %d: %s", int(port), errorString().toUtf8().constData());
  }
}

void cEWNetTCPServer::incomingConnection(qintptr socketDescriptor) {
  if (cNetworkConnection* manager = cNetworkConnection::Instance()) {
    manager->IncomingRemoteConnection(socketDescriptor);
    return;
  }
  QTcpSocket refused;
  if (refused.setSocketDescriptor(socketDescriptor)) refused.abort();
}
