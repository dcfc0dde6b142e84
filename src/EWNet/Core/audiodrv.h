#pragma once

#include <cstdint>
#include <memory>

#include "EWNet/Core/NetObjct.h"

class cContinuousController;

// Queues one link from a parameter of one named object to a parameter of
// another with the system builder. Values never travel as datagrams on links
// made here. Returns false (with a report) when nothing could be queued.
bool QueueParameterLink(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, const char* destinationPath,
                        EW_NET_DATA_SCALE destinationParam, bool sync, bool remove, bool bidirectional);

// The non-network half of a control or unit: owns exactly one net object.
// While the dispatch thread runs, make and destroy drivers with MakeNetObject
// (EWNet/Core/NetFactory.h): their net objects call back into them.
class cAudioDriver {
 public:
  cAudioDriver();
  virtual ~cAudioDriver();
  cAudioDriver(const cAudioDriver&) = delete;
  cAudioDriver& operator=(const cAudioDriver&) = delete;

  // Deletes the owned net object under the registry lock. Every derived
  // destructor calls it; the whole driver must already be under the lock
  // (MakeNetObject's deleter sees to it), or a tick could reach the driver
  // half destroyed.
  void DestroyAudioObject();
  cNetObject* GetAudioObject() const { return mAudioObject; }

 protected:
  // Name of the owned net object, or null (with "Audio object not created!")
  // when there is none.
  const char* OwnObjectNameForLink() const;

  cNetObject* mAudioObject;
};

// Driver of a continuous controller: holds the range and offers the value
// conversions shared by the user-interface drivers.
class cContinuousControllerDriver : public cAudioDriver {
 public:
  cContinuousControllerDriver(const char* name, UWORD minimum, UWORD maximum, bool levelType, bool createObject);
  ~cContinuousControllerDriver() override;

  virtual bool LinkSourceToRange(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove);
  virtual bool LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove,
                                 bool bidirectional);
  virtual bool LinkRangeToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove);
  virtual bool LinkValueToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove,
                                      bool bidirectional);
  virtual UBYTE ReadTouched() = 0;
  virtual UWORD ReadValue() = 0;
  virtual void WriteValue(UWORD value) = 0;
  virtual void SetRange(UWORD minimum, UWORD maximum, bool levelType);
  virtual void SetControlFlag(bool flag);

  UWORD GetMinimum() const { return mMinimum; }
  UWORD GetMaximum() const { return mMaximum; }
  UWORD GetRange() const { return mRange; }
  bool GetLevelType() const { return mLevelType; }
  bool GetControlFlag() const { return mControlFlag; }
  cContinuousController* GetController() const;

  UWORD ClampValue(UWORD value) const;
  UWORD ValueForNetwork(UWORD value) const;
  float NormalisedFromValue(UWORD value) const;
  UWORD ValueFromNormalised(float position) const;

 protected:
  UWORD mMinimum;
  UWORD mMaximum;
  UWORD mRange;
  bool mLevelType;
  bool mControlFlag;
};

class cMultiCCDriverChild;

// A set of continuous controllers driven by one selector: the step count of
// a single input (an encoder, say) goes to whichever child is selected.
class cMultiContinuousControllerDriverBase : public cNetObject {
 public:
  cMultiContinuousControllerDriverBase(const char* name, const char* selectorPath, UBYTE numberOfChildren);
  ~cMultiContinuousControllerDriverBase() override;

  void EntrypointMessage(cEWNetMessage& message) override;

  // Steps since the last call, for the selected child.
  virtual int8_t ReadSelectedStepCount() = 0;

  // Creates (or replaces) the child at index with its own controller.
  cMultiCCDriverChild* CreateChild(UBYTE index, const char* name);
  void SetFollowsSelector(UBYTE index, bool follows);
  bool FollowsSelector(UBYTE index) const;
  UBYTE GetSelectedIndex() const { return mSelectedIndex; }

 private:
  UBYTE mNumberOfChildren;
  std::unique_ptr<std::unique_ptr<cMultiCCDriverChild>[]> mChildren;
  std::unique_ptr<UBYTE[]> mFollowsSelector;
  UBYTE mSelectedIndex;
};

class cMultiCCDriverChild : public cContinuousControllerDriver {
 public:
  cMultiCCDriverChild(cMultiContinuousControllerDriverBase* parent, UBYTE index, const char* name);
  ~cMultiCCDriverChild() override;

  UBYTE ReadTouched() override { return 0; }
  UWORD ReadValue() override;
  void WriteValue(UWORD value) override;
  void SetRange(UWORD minimum, UWORD maximum, bool levelType) override;

  UWORD GetValue() const { return mValue; }
  UWORD GetStepSize() const { return mStepSize; }

 private:
  void RecalculateStepSize();

  cMultiContinuousControllerDriverBase* mParent;
  UBYTE mIndex;
  UWORD mValue;
  UWORD mStepSize;
};
