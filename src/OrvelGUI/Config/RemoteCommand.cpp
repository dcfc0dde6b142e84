#include "OrvelGUI/Config/RemoteCommand.h"

#include <QHostAddress>

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"
#include "EWNet/QT/NetworkConnection.h"
#include "EWNet/QT/RemoteSession.h"
#include "EWNet/QT/TCPConnection.h"
#include "OrvelGUI/Config/RemoteParameterFormat.h"

const char* const kRemoteCommandUsage =
    "HOST[:PORT] find NAME | get NAME PARAM | set NAME PARAM VALUE | watch NAME PARAM [--seconds N]";

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kDefaultWatchSeconds = 10;

// Dotted IPv4 as the transport wants it; "localhost" is the loopback address.
std::string TransportHost(const QString& hostAndPort) {
  QString host = hostAndPort.section(':', 0, 0);
  const QString port = hostAndPort.section(':', 1);
  if (host.compare("localhost", Qt::CaseInsensitive) == 0) host = "127.0.0.1";
  return (port.isEmpty() ? host : host + ':' + port).toStdString();
}

bool ParseMethod(const QString& text, UWORD& method) {
  bool ok = false;
  const uint value = text.startsWith("0x", Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16) : text.toUInt(&ok, 10);
  if (!ok || value > 0xFFFF) return false;
  method = value >= PARAMETER_BASE ? UWORD(value) : UWORD(value + PARAMETER_BASE);
  return value >= PARAMETER_BASE || value + PARAMETER_BASE <= 0xFFFF;
}

struct sRequest {
  QString mCommand;
  QString mName;
  UWORD mMethod = 0;
  QString mValue;
  int mSeconds = kDefaultWatchSeconds;
};

bool ParseRequest(QStringList arguments, sRequest& request, QString& error) {
  const int secondsAt = arguments.indexOf("--seconds");
  if (secondsAt >= 0) {
    bool ok = false;
    request.mSeconds = arguments.value(secondsAt + 1).toInt(&ok);
    if (!ok || request.mSeconds < 1) {
      error = "--seconds needs a positive number";
      return false;
    }
    arguments.erase(arguments.begin() + secondsAt, arguments.begin() + std::min(secondsAt + 2, arguments.size()));
  }
  request.mCommand = arguments.value(0);
  request.mName = arguments.value(1);
  const int expected = request.mCommand == "find" ? 2 : request.mCommand == "set" ? 4 : 3;
  const bool known = QStringList{"find", "get", "set", "watch"}.contains(request.mCommand);
  if (!known || arguments.size() != expected || (secondsAt >= 0 && request.mCommand != "watch")) {
    error = QString("usage: orvel-cli remote ") + kRemoteCommandUsage;
    return false;
  }
  if (expected >= 3 && !ParseMethod(arguments.at(2), request.mMethod)) {
    error = QString("\"%1\" is no parameter number or method code").arg(arguments.at(2));
    return false;
  }
  if (expected == 4) request.mValue = arguments.at(3);
  return true;
}

// Why the program at the other end turned this one away, as its user can
// mend it.
QString RefusalText(const QString& host, UBYTE reason) {
  const QString refused = QString("the program at %1 refused the connection").arg(host);
  switch (reason) {
    case cTCPConnection::kRefusedNotAllowed:
      return refused +
             ": this machine is not in its allowed peers (network/allow; see orvel-cli network allow "
             "on that machine)";
    case cTCPConnection::kRefusedNoFreeConnection:
      return refused + QString(": all its %1 connections are in use").arg(kEWNetMaxConnections);
    default:
      return refused;
  }
}

int Run(cRemoteSession& session, const sRequest& request, QTextStream& out, QString& error) {
  EW_NET_DATA_SCALE handle = 0xFFFF;
  int answerBytes = 0;
  if (!session.Find(request.mName, handle, answerBytes, error)) return kFailed;
  if (request.mCommand == "find") {
    out << handle << "\n";
    return kOk;
  }
  const eRemoteValueKind kind = RemoteValueKind(request.mName, request.mMethod);
  if (request.mCommand == "set") {
    QByteArray bytes;
    if (!ParseRemoteValue(kind, request.mValue, bytes, error)) return kUsage;
    return session.Set(handle, request.mMethod, bytes, error) ? kOk : kFailed;
  }
  if (request.mCommand == "get") {
    QByteArray value;
    if (!session.Get(handle, request.mMethod, value, error)) return kFailed;
    out << FormatRemoteValue(kind, value) << "\n";
    return kOk;
  }
  const auto print = [&](const QByteArray& value) {
    out << FormatRemoteValue(kind, value) << "\n";
    out.flush();
  };
  return session.Watch(handle, request.mMethod, request.mSeconds, print, error) ? kOk : kFailed;
}

}  // namespace

int RunRemoteCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  sRequest request;
  QString error;
  if (arguments.isEmpty() || !ParseRequest(arguments.mid(1), request, error)) {
    err << "orvel-cli: " << (error.isEmpty() ? QString("usage: orvel-cli remote ") + kRemoteCommandUsage : error)
        << "\n";
    return kUsage;
  }
  int result = kFailed;
  {
    cRemoteSession session;
    if (session.Connect(TransportHost(arguments.at(0)), error)) {
      result = Run(session, request, out, error);
    } else if (session.Refusal() != 0) {
      error = RefusalText(arguments.at(0), session.Refusal());
    }
  }
  if (result != kOk) err << "orvel-cli: " << error << "\n";
  return result;
}

int RunRemoteCli(const QStringList& arguments) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  StartEWNet(0, false);
  cNetworkConnection* manager = cNetworkConnection::Instance();
  if (manager == nullptr) {
    StopEWNet();
    return kFailed;
  }
  // The far side supervises this connection: it must hear heartbeats.
  manager->InitialiseLostComms();
  cSyscallThread dispatch;
  dispatch.Start();
  const int result = RunRemoteCommand(arguments, out, err);
  dispatch.Stop();
  manager->UninitialiseLostComms();
  cNetworkConnection::DeleteInstance();
  StopEWNet();
  return result;
}
