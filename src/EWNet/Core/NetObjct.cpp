#include "EWNet/Core/NetObjct.h"

#include <iterator>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/RegRoutr.h"

namespace {

const char* const kMethodNames[] = {
    "M_INVALID_MESSAGE",
    "M_REG_TICK",
    "M_REPLY_OK",
    "M_REPLY_FAIL",
    "M_REG_FIND_OBJECT",
    "M_TEST_PRINT_REGISTRY",
    "M_OBJECT_ADD_TO_INFORM_LIST",
    "M_OBJECT_REMOVE_FROM_INFORM_LIST",
    "M_OBJECT_ADD_TO_DELETE_LIST",
    "M_OBJECT_DELETED",
    "M_ALL_SET_CURRENT_STORE",
    "M_ALL_GET_CURRENT_STORE",
    "M_ALL_COPY_DEFAULT_TO_CURRENT_STORE",
    "M_OBJECT_REMOVE_FROM_DELETE_LIST",
    "M_ALL_SET_CURRENT_STORE_IF_NOT_SAFED",
    "M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE",
    "M_REG_TOCK",
    "M_TEST_PRINT_MESS_POOLS",
    "M_CURRENT_STORE_TRACKING_CHANGES",
    "M_ALL_RELATIVE_UPDATE_CURRENT_STORE",
    "M_ALL_SET_CURRENT_STORE_EXTRACT_FILTERS",
    "M_ALL_GET_CURRENT_STORE_WITH_FILTERS",
    "M_REG_DO_WORK",
};
static_assert(sizeof(kMethodNames) / sizeof(kMethodNames[0]) == M_LAST_SYSTEM_METHOD + 1, "method table");

}  // namespace

const char* EWNetMethodName(UWORD method) { return method <= M_LAST_SYSTEM_METHOD ? kMethodNames[method] : nullptr; }

cNetObject::cNetObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick, bool actionTock)
    : mName(nullptr), mHandle(0xFFFF), mRegistered(false), mNumberOfParameters(numberOfParameters) {
  if (mNumberOfParameters > EW_MAX_NUMBER_OF_PARAMETERS) {
    EW_REPORT_ERROR("%s - mNumberOfParameters  = 0x%X, exceeds maximum", name != nullptr ? name : "",
                    unsigned(mNumberOfParameters));
  }
  if (mNumberOfParameters > 0) mInformLists.reset(new InformList[mNumberOfParameters]);
  CheckNetLifetimeContext("created", name != nullptr ? name : "");
  cRegistryRouter* router = GetRegistryRouter();
  if (router == nullptr) {
    EW_REPORT_ERROR("No registry router for \"%s\"", name != nullptr ? name : "");
    return;
  }
  cRegistryLocker lock;
  router->RegisterNetworkObject(this, name != nullptr ? name : "");
  // Only an object that got a handle is ticked and counts as registered.
  if (mHandle == EW_INVALID_HANDLE) return;
  if (actionTick) router->AddToTickList(this);
  if (actionTock) router->AddToTockList(this);
  mRegistered = true;
}

cNetObject::~cNetObject() {
  if (mRegistered) {
    EW_REPORT_ERROR("This object (%s) should have been unregistered by now", GetName());
  }
}

void cNetObject::Unregister() {
  if (mRegistered) {
    CheckNetLifetimeContext("destroyed", GetName());
    if (cRegistryRouter* router = GetRegistryRouter()) router->UnregisterNetworkObject(this);
    mRegistered = false;
  }
  // The deletion notices carry the handle the linked objects know; it is given
  // up only once they have been sent.
  for (const sDeleteListEntry& entry : mDeleteList)
    SendBookkeeping(entry.mConnectionId, entry.mHandle, M_OBJECT_DELETED);
  mHandle = 0xFFFF;
  mDeleteList.clear();
  mInformLists.reset();
  mNumberOfParameters = 0;
}

const cNetObject::InformList* cNetObject::GetInformList(EW_NET_DATA_SCALE parameter) const {
  if (!mInformLists || parameter >= mNumberOfParameters) return nullptr;
  return &mInformLists[parameter];
}

void cNetObject::SendBookkeeping(UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method) {
  mSystemMessage.SetLength(0);
  mSystemMessage.mConnectionId = connectionId;
  mSystemMessage.mDestination = handle;
  mSystemMessage.mSource = mHandle;
  mSystemMessage.mMethod = method;
  SendMessage(mSystemMessage);
}

void cNetObject::SendReply(const cEWNetMessage& request, UWORD method) {
  SendBookkeeping(request.mConnectionId, request.mSource, method);
}

bool cNetObject::AddObjectToInformList(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                       EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod,
                                       UBYTE datagram, UBYTE sync, bool informDeleteList) {
  const EW_NET_DATA_SCALE n = EW_NET_DATA_SCALE(sourceMethod - PARAMETER_BASE);
  if (n >= mNumberOfParameters || !mInformLists) {
    EW_REPORT_ERROR("Add Parameter out of range Object Name: \"%s\" Parameter: %d, mNumberOfParameters: %d", GetName(),
                    int(n), int(mNumberOfParameters));
    EW_REPORT_ERROR("ConnectionId: %d, Handle: %d, DestinationMethod: 0x%X, SourceMethod: 0x%X", int(connectionId),
                    int(handle), unsigned(destinationMethod), unsigned(sourceMethod));
    return false;
  }
  InformList& list = mInformLists[n];
  for (const sInformListEntry& entry : list) {
    if (entry.mConnectionId == connectionId && entry.mHandle == handle &&
        entry.mDestinationMethod == destinationMethod) {
      return false;
    }
  }
  list.push_front(sInformListEntry{connectionId, handle, destinationMethod, datagram});
  if (informDeleteList) SendBookkeeping(connectionId, handle, M_OBJECT_ADD_TO_DELETE_LIST);
  if (sync) UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
  return true;
}

bool cNetObject::RemoveObjectFromInformList(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE method,
                                            EW_NET_DATA_SCALE sourceMethod, bool informDeleteList) {
  const EW_NET_DATA_SCALE n = EW_NET_DATA_SCALE(sourceMethod - PARAMETER_BASE);
  if (n >= mNumberOfParameters || !mInformLists) {
    EW_REPORT_ERROR(
        "Remove Parameter out of range Object Name: \"%s\" Parameter: %d Adjusted: %d, "
        "mNumberOfParameters: %d",
        GetName(), int(sourceMethod), int(n), int(mNumberOfParameters));
    EW_REPORT_ERROR("ConnectionId: %d, Handle: %d, Method: %d", int(connectionId), int(handle), int(method));
    return false;
  }
  InformList& list = mInformLists[n];
  bool removed = false;
  for (auto before = list.before_begin(), it = list.begin(); it != list.end(); before = it, ++it) {
    if (it->mConnectionId == connectionId && it->mHandle == handle && it->mDestinationMethod == method) {
      list.erase_after(before);
      removed = true;
      break;
    }
  }
  if (removed && informDeleteList) SendBookkeeping(connectionId, handle, M_OBJECT_REMOVE_FROM_DELETE_LIST);
  return removed;
}

EW_NET_DATA_SCALE cNetObject::GetNumberOfInformListItems(EW_NET_DATA_SCALE sourceMethod) const {
  const EW_NET_DATA_SCALE n = EW_NET_DATA_SCALE(sourceMethod - PARAMETER_BASE);
  if (n >= mNumberOfParameters || !mInformLists) {
    EW_REPORT_ERROR("Parameter out of range Object Name: \"%s\" Parameter: %d", GetName(), int(n));
    return 0;
  }
  return EW_NET_DATA_SCALE(std::distance(mInformLists[n].begin(), mInformLists[n].end()));
}

void cNetObject::SendToInformList(const cEWNetMessage& message) {
  if (mNumberOfParameters == 0 || !mInformLists) return;
  const EW_NET_DATA_SCALE n = EW_NET_DATA_SCALE(message.mMethod - PARAMETER_BASE);
  if (n >= mNumberOfParameters || mInformLists[n].empty()) return;
  // The original sender is remembered before the working message is reused,
  // which also makes it safe to publish mInformMessage itself.
  const UWORD fromConnection = message.mConnectionId;
  const EW_NET_DATA_SCALE fromHandle = message.mSource;
  if (&message != &mInformMessage) mInformMessage = message;
  mInformMessage.mSource = mHandle;
  for (const sInformListEntry& entry : mInformLists[n]) {
    if (entry.mConnectionId == fromConnection && entry.mHandle == fromHandle) continue;
    mInformMessage.mConnectionId = entry.mConnectionId;
    mInformMessage.mDestination = entry.mHandle;
    mInformMessage.mMethod = entry.mDestinationMethod;
    if (entry.mDataGram) {
      SendDatagram(mInformMessage);
    } else {
      SendMessage(mInformMessage);
    }
  }
}

// Drops every inform-list and delete-list entry of one object on a connection,
// or of the whole connection when any handle matches.
void cNetObject::PurgeLinks(UWORD connectionId, EW_NET_DATA_SCALE handle, bool anyHandle) {
  const auto matches = [&](const auto& e) {
    return e.mConnectionId == connectionId && (anyHandle || e.mHandle == handle);
  };
  for (EW_NET_DATA_SCALE p = 0; mInformLists && p < mNumberOfParameters; ++p) mInformLists[p].remove_if(matches);
  mDeleteList.remove_if(matches);
}

void cNetObject::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case M_OBJECT_ADD_TO_INFORM_LIST:
    case M_OBJECT_REMOVE_FROM_INFORM_LIST:
      ApplyLinkMessage(message);
      return;
    case M_OBJECT_ADD_TO_DELETE_LIST: {
      for (sDeleteListEntry& entry : mDeleteList) {
        if (entry.mConnectionId == message.mConnectionId && entry.mHandle == message.mSource) {
          ++entry.mCount;
          return;
        }
      }
      mDeleteList.push_front(sDeleteListEntry{message.mConnectionId, message.mSource, 1});
      return;
    }
    case M_OBJECT_DELETED:
      PurgeLinks(message.mConnectionId, message.mSource, false);
      return;
    case M_OBJECT_REMOVE_FROM_DELETE_LIST:
      for (auto before = mDeleteList.before_begin(), it = mDeleteList.begin(); it != mDeleteList.end();
           before = it, ++it) {
        if (it->mConnectionId == message.mConnectionId && it->mHandle == message.mSource) {
          if (it->mCount > 1) {
            --it->mCount;
          } else {
            mDeleteList.erase_after(before);
          }
          return;
        }
      }
      return;
    case M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE:
      EW_REPORT_ERROR("NYI - M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE for %s on %d", GetName(),
                      int(M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE));
      SendReply(message, M_REPLY_FAIL);
      return;
    case M_ALL_RELATIVE_UPDATE_CURRENT_STORE:
      EW_REPORT_ERROR("NYI - M_ALL_RELATIVE_UPDATE_CURRENT_STORE for %s on %d", GetName(),
                      int(M_ALL_RELATIVE_UPDATE_CURRENT_STORE));
      SendReply(message, M_REPLY_FAIL);
      return;
    default:
      break;
  }
  EW_REPORT_ERROR("Unknown Method: 0x%X  Source: 0x%X, ConnId: %d ObjectName: \"%s\", mHandle = 0x%X",
                  unsigned(message.mMethod), unsigned(message.mSource), int(message.mConnectionId), GetName(),
                  unsigned(mHandle));
}

// A link message comes in one of two forms. The 16-bit one (10 bytes to add,
// 8 to remove) is what a local builder and a unit on a version-1 connection
// send; a builder whose connection to this unit uses version-2 messages sends
// the 32-bit one (16 and 14 bytes), in which the handle and both methods take
// 4 bytes each. Both start with the 2-byte connection id, and adding puts the
// datagram and sync flags last. The lengths never coincide, so the length
// decides; any other length is refused, and so is a 32-bit value that no
// handle or method of this network can have.
void cNetObject::ApplyLinkMessage(const cEWNetMessage& message) {
  const bool add = message.mMethod == M_OBJECT_ADD_TO_INFORM_LIST;
  const EW_NET_DATA_SCALE flagBytes = add ? 2 : 0;
  const EW_NET_DATA_SCALE shortForm = EW_NET_DATA_SCALE(8 + flagBytes);
  const EW_NET_DATA_SCALE longForm = EW_NET_DATA_SCALE(14 + flagBytes);
  if (!EWNetPayloadLongEnough(*this, message, shortForm)) return;
  ULONG handle = 0;
  ULONG destinationMethod = 0;
  ULONG sourceMethod = 0;
  if (message.mLength == shortForm) {
    handle = message.GetUWORD(2);
    destinationMethod = message.GetUWORD(4);
    sourceMethod = message.GetUWORD(6);
  } else if (message.mLength == longForm) {
    handle = message.GetULONG(2);
    destinationMethod = message.GetULONG(6);
    sourceMethod = message.GetULONG(10);
  } else {
    EW_REPORT_ERROR("Link message 0x%X of %d bytes refused: %d or %d expected, \"%s\"", unsigned(message.mMethod),
                    int(message.mLength), int(shortForm), int(longForm), GetName());
    return;
  }
  if (handle > 0xFFFF || destinationMethod > 0xFFFF || sourceMethod > 0xFFFF) {
    EW_REPORT_ERROR("Link message 0x%X refused: handle 0x%lX, methods 0x%lX and 0x%lX do not fit 16 bits, \"%s\"",
                    unsigned(message.mMethod), static_cast<unsigned long>(handle),
                    static_cast<unsigned long>(destinationMethod), static_cast<unsigned long>(sourceMethod), GetName());
    return;
  }
  const UWORD connectionId = message.GetUWORD(0);
  if (add) {
    const EW_NET_DATA_SCALE flags = EW_NET_DATA_SCALE(message.mLength - flagBytes);
    AddObjectToInformList(connectionId, EW_NET_DATA_SCALE(handle), EW_NET_DATA_SCALE(destinationMethod),
                          EW_NET_DATA_SCALE(sourceMethod), message.GetUBYTE(flags), message.GetUBYTE(flags + 1), true);
  } else {
    RemoveObjectFromInformList(connectionId, EW_NET_DATA_SCALE(handle), EW_NET_DATA_SCALE(destinationMethod),
                               EW_NET_DATA_SCALE(sourceMethod), true);
  }
}

void cNetObject::ActionTick() { EW_REPORT_ERROR("Object %s, scanned with no ActionTick?", GetName()); }

void cNetObject::ActionTock() { EW_REPORT_ERROR("Object %s, tock scanned with no ActionTock?", GetName()); }

void cNetObject::ConnectionClosed(UWORD connectionId, bool lostComms) {
  (void)lostComms;
  PurgeLinks(connectionId, 0xFFFF, true);
}

void cNetObject::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                 EW_NET_DATA_SCALE sourceMethod) {
  (void)destinationMethod;
  EW_REPORT_ERROR("UpdateNewObject needs overloading to enable sync-up");
  EW_REPORT_ERROR("Object Name: \"%s\" SourceMethod: 0x%X, Destination Handle: 0x%X  ConnectionId: %d", GetName(),
                  unsigned(sourceMethod), unsigned(handle), int(connectionId));
  if (sourceMethod >= NON_PARAMETER_BASE && sourceMethod < PARAMETER_BASE) {
    EW_REPORT_ERROR("NON_PARAMETER_BASE Adjusted SourceMethod: %d,", int(sourceMethod - NON_PARAMETER_BASE));
  } else if (sourceMethod >= PARAMETER_BASE) {
    EW_REPORT_ERROR("PARAMETER_BASE Adjusted SourceMethod: %d,", int(sourceMethod - PARAMETER_BASE));
  }
}

bool EWNetPayloadLongEnough(const cNetObject& object, const cEWNetMessage& message, EW_NET_DATA_SCALE needed) {
  if (message.mLength >= needed) return true;
  EW_REPORT_ERROR("Message too short for method 0x%X: %d bytes, %d needed, \"%s\"", message.mMethod, message.mLength,
                  needed, object.GetName());
  return false;
}

cEWNetMessage& EWNetAddress(cEWNetMessage& working, UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method,
                            EW_NET_DATA_SCALE length) {
  working.mConnectionId = connectionId;
  working.mDestination = handle;
  working.mMethod = method;
  working.SetLength(length);
  return working;
}

void EWNetPublishUBYTE(cNetObject& object, cEWNetMessage& working, UWORD method, UBYTE value) {
  EWNetAddress(working, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method, 1).SetUBYTE(0, value);
  object.SendToInformList(working);
}

void EWNetPublishUWORD(cNetObject& object, cEWNetMessage& working, UWORD method, UWORD value) {
  EWNetAddress(working, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method, 2).SetUWORD(0, value);
  object.SendToInformList(working);
}

void EWNetSendUBYTE(cEWNetMessage& working, UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method, UBYTE value) {
  EWNetAddress(working, connectionId, handle, method, 1).SetUBYTE(0, value);
  SendMessage(working);
}

void EWNetSendUWORD(cEWNetMessage& working, UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method, UWORD value) {
  EWNetAddress(working, connectionId, handle, method, 2).SetUWORD(0, value);
  SendMessage(working);
}
