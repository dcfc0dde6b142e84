#pragma once

#include <QAbstractSocket>
#include <QString>
#include <memory>
#include <string>

#include "EWNet/Core/Types.h"
#include "EWNet/QT/TransportSettings.h"
#include "OrvelGUI/Application/ApplicationBase.h"

class cApplicationCore;
class cEWNetTCPServer;
class cThemeColours;
class cDrawingUtility;
class cFontStyles;
class cUISettings;
class cQmlValueInterpreterSingleton;

struct sApplicationOptions {
  // The storage region's file; empty means the program's own.
  QString mStoragePath;
  // Where the object network's TCP server listens; 0 lets the system pick.
  quint16 mTcpPort = kEWNetDefaultTcpPort;
};

// The program's top-level object. Made on the main thread once the object
// network and its connection manager run, it creates in this order: the
// dispatch thread object; the links from the connection manager's LostComms
// and ConnectionDisconnected; the theme colours, drawing utility, font
// styles, UI settings and value interpreter, which publish themselves to
// QML; the TCP server; then the rest of the assembly (tick driver, storage,
// device link, metering, saves manager, strips, panels). Its destructor
// takes everything down in reverse and stops the object network last.
class cApplication : public cApplicationBase {
  Q_OBJECT
 public:
  explicit cApplication(const sApplicationOptions& options = {});
  ~cApplication() override;

  // Main thread. The dispatch thread, then the tick thread, then ticks flow.
  void Start();
  // Main thread. No more ticks, then the dispatch thread is stopped.
  void Stop();

  cApplicationCore& Core() { return *mCore; }
  // Null when the server could not be made; not listening when the port
  // was taken (reported).
  cEWNetTCPServer* TCPServer() const { return mTCPServer; }

 public slots:
  // The transport has dealt with the connection already; the program keeps
  // no state of its own about remote peers.
  void LostComms(UWORD ConnectionId, std::string HostName);
  void ConnectionDisconnected(UWORD ConnectionId, std::string HostName, bool ErrorOccured,
                              QAbstractSocket::SocketError Error);

 private:
  // Runs between the dispatch thread object and the tick driver.
  void CreateFrontEndServices(quint16 tcpPort);

  std::unique_ptr<cThemeColours> mThemeColours;
  std::unique_ptr<cDrawingUtility> mDrawingUtility;
  std::unique_ptr<cFontStyles> mFontStyles;
  std::unique_ptr<cUISettings> mUISettings;
  std::unique_ptr<cQmlValueInterpreterSingleton> mValueInterpreter;
  cEWNetTCPServer* mTCPServer = nullptr;  // child
  std::unique_ptr<cApplicationCore> mCore;
};
