#include "OrvelGUI/Application/Application.h"

#include <QThread>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/Syscall.h"
#include "EWNet/QT/EWNetTCPServer.h"
#include "EWNet/QT/NetworkConnection.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/NetworkAccess.h"
#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"
#include "QtGUIComponents/Common/FontStyles.h"
#include "QtGUIComponents/Common/ThemeColours.h"
#include "QtGUIComponents/Common/UISettings.h"
#include "QtGUIComponents/Widgets/DrawingUtility.h"

cApplication::cApplication(const sApplicationOptions& options) {
  cApplicationCore::sOptions core;
  core.mStoragePath = options.mStoragePath;
  core.mAfterDispatchThread = [this, port = options.mTcpPort] { CreateFrontEndServices(port); };
  mCore = std::make_unique<cApplicationCore>(core);
}

void cApplication::CreateFrontEndServices(quint16 tcpPort) {
  if (cNetworkConnection* manager = cNetworkConnection::Instance()) {
    connect(manager, &cNetworkConnection::LostComms, this, &cApplication::LostComms);
    connect(manager, &cNetworkConnection::ConnectionDisconnected, this, &cApplication::ConnectionDisconnected);
    // Before the server listens: no peer gets in unchecked.
    networkaccess::Install(*manager);
  } else {
    EW_REPORT_ERROR("No connection manager: remote connections are not watched");
  }
  mThemeColours = std::make_unique<cThemeColours>();
  mDrawingUtility = std::make_unique<cDrawingUtility>();
  mFontStyles = std::make_unique<cFontStyles>();
  mUISettings = std::make_unique<cUISettings>();
  mValueInterpreter = std::make_unique<cQmlValueInterpreterSingleton>();
  mTCPServer = new cEWNetTCPServer(this, tcpPort);
}

cApplication::~cApplication() {
  Q_ASSERT(QThread::currentThread() == thread());
  // Tick driver (its thread joined first), strips, panels, saves manager,
  // metering, connect driver, device link, storage.
  mCore->DestroyObjects();
  delete mTCPServer;
  mTCPServer = nullptr;
  mValueInterpreter.reset();
  mUISettings.reset();
  mFontStyles.reset();
  mDrawingUtility.reset();
  mThemeColours.reset();
  // The registry lock is passed once, then the dispatch thread object goes.
  mCore.reset();
  StopEWNet();
}

void cApplication::Start() { mCore->Start(); }

void cApplication::Stop() { mCore->Stop(); }

void cApplication::LostComms(UWORD ConnectionId, std::string HostName) {
  EW_SILENT_NOTIFICATION("Lost communication with connection %d (%s)", int(ConnectionId), HostName.c_str());
}

void cApplication::ConnectionDisconnected(UWORD ConnectionId, std::string HostName, bool ErrorOccured,
                                          QAbstractSocket::SocketError Error) {
  EW_SILENT_NOTIFICATION("Connection %d (%s) closed, error %d (%d)", int(ConnectionId), HostName.c_str(),
                         int(ErrorOccured), int(Error));
}
