#pragma once

#include <string>

#include "EWNet/Core/NetObjct.h"

// Base of the audio units: a net object that passes parameter changes on to
// the objects linked to it, unless informing is switched off. Units and their
// drivers run on the dispatch thread, or on another thread that holds the
// registry lock (construction, a recall asked for by a tool).
class cAudioObject : public cNetObject {
 public:
  cAudioObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick);

  // Sends the message to the inform list of the parameter its method names.
  virtual void InformParameter(const cEWNetMessage& message);

  bool mInformEnabled;

  // The unit as its user knows it ("Mid EQ left"), for refusals and notes.
  const std::string& Label() const { return mLabel; }

 protected:
  // Informs a value of the unit's own (after a recall or a sync): the working
  // message goes out with connection and destination "none", so no linked
  // object is skipped as the sender.
  void InformUBYTE(UWORD method, UBYTE value);
  void InformUWORD(UWORD method, UWORD value);

  // Answers a newly linked object with one value.
  void AnswerUBYTE(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE method, UBYTE value);
  void AnswerUWORD(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE method, UWORD value);

  // Payload check of a parameter message; a short one is reported and must
  // change nothing.
  bool HasPayload(const cEWNetMessage& message, EW_NET_DATA_SCALE needed) const {
    return EWNetPayloadLongEnough(*this, message, needed);
  }

  // Reports a value the processor could not realise, which the unit keeps
  // off the wire: it changes nothing, and publishes the value it keeps so
  // that the sender shows that one again.
  void ReportRefusal(const std::string& refusal);
  // The same for the device's records (the read-back), of which the unit
  // adopts nothing.
  void ReportRefusedRecords(const std::string& refusal);

 private:
  std::string mLabel;
};
