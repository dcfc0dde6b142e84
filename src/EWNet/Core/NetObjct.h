#pragma once

#include <forward_list>
#include <memory>

#include "EWNet/Core/Message.h"

enum eEWNetMethod : UWORD {
  M_INVALID_MESSAGE = 0,
  M_REG_TICK = 1,
  M_REPLY_OK = 2,
  M_REPLY_FAIL = 3,
  M_REG_FIND_OBJECT = 4,
  M_TEST_PRINT_REGISTRY = 5,
  M_OBJECT_ADD_TO_INFORM_LIST = 6,
  M_OBJECT_REMOVE_FROM_INFORM_LIST = 7,
  M_OBJECT_ADD_TO_DELETE_LIST = 8,
  M_OBJECT_DELETED = 9,
  M_ALL_SET_CURRENT_STORE = 10,
  M_ALL_GET_CURRENT_STORE = 11,
  M_ALL_COPY_DEFAULT_TO_CURRENT_STORE = 12,
  M_OBJECT_REMOVE_FROM_DELETE_LIST = 13,
  M_ALL_SET_CURRENT_STORE_IF_NOT_SAFED = 14,
  M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE = 15,
  M_REG_TOCK = 16,
  M_TEST_PRINT_MESS_POOLS = 17,
  M_CURRENT_STORE_TRACKING_CHANGES = 18,
  M_ALL_RELATIVE_UPDATE_CURRENT_STORE = 19,
  M_ALL_SET_CURRENT_STORE_EXTRACT_FILTERS = 20,
  M_ALL_GET_CURRENT_STORE_WITH_FILTERS = 21,
  M_REG_DO_WORK = 22,
};

constexpr UWORD M_LAST_SYSTEM_METHOD = M_REG_DO_WORK;
constexpr UWORD NON_PARAMETER_BASE = 256;
constexpr UWORD PARAMETER_BASE = 4096;
constexpr EW_NET_DATA_SCALE EW_MAX_NUMBER_OF_PARAMETERS = 0xEFFF;

// Name of a system method (0..22), or null for any other code.
const char* EWNetMethodName(UWORD method);

struct sInformListEntry {
  UWORD mConnectionId;
  EW_NET_DATA_SCALE mHandle;
  EW_NET_DATA_SCALE mDestinationMethod;
  UBYTE mDataGram;
};

struct sDeleteListEntry {
  UWORD mConnectionId;
  EW_NET_DATA_SCALE mHandle;
  UWORD mCount;
};

// Base of every addressable thing in the object network. The most derived
// destructor must call Unregister() before the base destructor runs. While the
// dispatch thread runs, create and destroy net objects with MakeNetObject
// (EWNet/Core/NetFactory.h) or on the dispatch thread itself.
class cNetObject {
 public:
  using InformList = std::forward_list<sInformListEntry>;
  using DeleteList = std::forward_list<sDeleteListEntry>;

  cNetObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick, bool actionTock);
  virtual ~cNetObject();
  cNetObject(const cNetObject&) = delete;
  cNetObject& operator=(const cNetObject&) = delete;

  virtual void EntrypointMessage(cEWNetMessage& message);
  virtual void ActionTick();
  virtual void ActionTock();
  virtual void ConnectionClosed(UWORD connectionId, bool lostComms);
  virtual void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                               EW_NET_DATA_SCALE sourceMethod);

  void Unregister();

  bool AddObjectToInformList(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                             EW_NET_DATA_SCALE sourceMethod, UBYTE datagram, UBYTE sync, bool informDeleteList);
  bool RemoveObjectFromInformList(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE method,
                                  EW_NET_DATA_SCALE sourceMethod, bool informDeleteList);
  EW_NET_DATA_SCALE GetNumberOfInformListItems(EW_NET_DATA_SCALE sourceMethod) const;
  void SendToInformList(const cEWNetMessage& message);

  const char* GetName() const { return mName != nullptr ? mName : ""; }
  EW_NET_DATA_SCALE GetHandle() const { return mHandle; }
  bool IsRegistered() const { return mRegistered; }
  EW_NET_DATA_SCALE GetNumberOfParameters() const { return mNumberOfParameters; }
  const InformList* GetInformList(EW_NET_DATA_SCALE parameter) const;
  const DeleteList& GetDeleteList() const { return mDeleteList; }

  // Set by the registry router on registration.
  const char* mName;
  EW_NET_DATA_SCALE mHandle;

 protected:
  void SendReply(const cEWNetMessage& request, UWORD method);

  DeleteList mDeleteList;
  bool mRegistered;
  EW_NET_DATA_SCALE mNumberOfParameters;
  std::unique_ptr<InformList[]> mInformLists;
  cEWNetMessage mInformMessage;
  cEWNetMessage mSystemMessage;

  friend class cRegistryRouter;

 private:
  void PurgeLinks(UWORD connectionId, EW_NET_DATA_SCALE handle, bool anyHandle);
  // M_OBJECT_ADD_TO_INFORM_LIST and M_OBJECT_REMOVE_FROM_INFORM_LIST, in
  // either of their two forms.
  void ApplyLinkMessage(const cEWNetMessage& message);
  void SendBookkeeping(UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method);
};

// Helpers for net objects that publish, answer or check one-value messages.

// Addresses a working message and sizes its payload; returns it for filling.
cEWNetMessage& EWNetAddress(cEWNetMessage& working, UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method,
                            EW_NET_DATA_SCALE length);

// Whether a message carries at least the bytes its method needs; a shorter
// one (a remote peer can send anything) is reported and must be ignored.
bool EWNetPayloadLongEnough(const cNetObject& object, const cEWNetMessage& message, EW_NET_DATA_SCALE needed);

// Publishes a parameter value from the object's working message. Connection
// and destination are set to "none" so that no inform-list entry is taken for
// the sender and skipped.
void EWNetPublishUBYTE(cNetObject& object, cEWNetMessage& working, UWORD method, UBYTE value);
void EWNetPublishUWORD(cNetObject& object, cEWNetMessage& working, UWORD method, UWORD value);

// Sends a value to one destination (the sync-up of a new link).
void EWNetSendUBYTE(cEWNetMessage& working, UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method, UBYTE value);
void EWNetSendUWORD(cEWNetMessage& working, UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method, UWORD value);
