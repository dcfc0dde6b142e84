#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "EWNet/Core/Types.h"

// A client of a remote unit's object network: one outgoing connection and one
// local probe object that receives the answers. Needs a running object
// network (router, connection manager, dispatch thread) and is used from the
// main thread, whose events it processes while it waits.
class cRemoteSession {
 public:
  explicit cRemoteSession(int answerTimeoutMs = 3000);
  // Unlinks the probe and closes the connection with "BYE".
  ~cRemoteSession();
  cRemoteSession(const cRemoteSession&) = delete;
  cRemoteSession& operator=(const cRemoteSession&) = delete;

  // "a.b.c.d[:port]". Waits for the far side to answer the hello; when it
  // turns the connection away instead, Refusal() tells why.
  bool Connect(const std::string& host, QString& error);
  UWORD ConnectionId() const { return mConnection; }
  // 0, or the reason (cTCPConnection's kRefused codes) the far side gave.
  UBYTE Refusal() const { return mRefusal; }

  // The handle of a remote object; answerBytes tells the 2- or 4-byte form.
  bool Find(const QString& name, EW_NET_DATA_SCALE& handle, int& answerBytes, QString& error);
  // The parameter's current value, as the object sends it to a new link.
  bool Get(EW_NET_DATA_SCALE handle, UWORD method, QByteArray& value, QString& error);
  bool Set(EW_NET_DATA_SCALE handle, UWORD method, const QByteArray& value, QString& error);
  // Every value the parameter sends for `seconds`, starting with its current one.
  bool Watch(EW_NET_DATA_SCALE handle, UWORD method, int seconds, const std::function<void(const QByteArray&)>& onValue,
             QString& error);

 private:
  class cProbe;
  bool Await(const std::function<bool()>& done, int timeoutMs);
  void Send(EW_NET_DATA_SCALE handle, UWORD method, const QByteArray& payload);
  void Link(EW_NET_DATA_SCALE handle, UWORD method, bool remove);
  // Takes the oldest value the parameter has sent, if any.
  bool TakeValue(EW_NET_DATA_SCALE handle, UWORD method, QByteArray& value);

  const int mTimeoutMs;
  std::unique_ptr<cProbe> mProbe;
  UWORD mConnection = 0xFFFF;
  UBYTE mRefusal = 0;
};
