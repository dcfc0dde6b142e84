#include "EWNet/Core/audiodrv.h"

#include <cmath>
#include <cstring>

#include "EWNet/Core/ContCtrl.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"

namespace {

// Copies a link path; a path that does not fit would be cut into a name that
// is never found and would block the builder's queue for good.
bool CopyLinkPath(char (&target)[EW_LINK_PATH_SIZE], const char* path) {
  if (path == nullptr) {
    EW_REPORT_ERROR("Link path missing");
    return false;
  }
  const size_t length = std::strlen(path);
  if (length >= sizeof target) {
    EW_REPORT_ERROR("Link path too long: %d characters, \"%s\"", static_cast<int>(length), path);
    return false;
  }
  std::memcpy(target, path, length + 1);
  return true;
}

// An inverted range is empty.
UWORD RangeOf(UWORD minimum, UWORD maximum) { return maximum >= minimum ? static_cast<UWORD>(maximum - minimum) : 0; }

}  // namespace

bool QueueParameterLink(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, const char* destinationPath,
                        EW_NET_DATA_SCALE destinationParam, bool sync, bool remove, bool bidirectional) {
  sParameterLinkingCommand command{};
  if (!CopyLinkPath(command.mSourcePath, sourcePath) || !CopyLinkPath(command.mDestinationPath, destinationPath)) {
    return false;
  }
  cSystemBuilder* builder = GetSystemBuilder();
  if (builder == nullptr) {
    EW_REPORT_ERROR("No system builder to link \"%s\" to \"%s\"", sourcePath, destinationPath);
    return false;
  }
  command.mSourceParam = sourceParam;
  command.mDestParam = destinationParam;
  command.mDataGram = false;
  command.mSync = sync;
  command.mRemove = remove;
  command.mBidirect = bidirectional;
  builder->AddLinkCommandToList(command, bidirectional);
  return true;
}

// ---------------------------------------------------------------------------

cAudioDriver::cAudioDriver() : mAudioObject(nullptr) {}

cAudioDriver::~cAudioDriver() {
  if (mAudioObject != nullptr) {
    EW_REPORT_ERROR("ERROR - The audio object should have been destroyed by now");
    // Left registered, the object would go on calling into a driver that no
    // longer exists.
    DestroyAudioObject();
  }
}

void cAudioDriver::DestroyAudioObject() {
  if (mAudioObject == nullptr) return;
  // By now the derived driver is gone: had the lock not been held since its
  // destructor began, a tick could have called into it.
  CheckNetLifetimeContext("destroyed with its driver", mAudioObject->GetName());
  cRegistryLocker lock;
  delete mAudioObject;
  mAudioObject = nullptr;
}

const char* cAudioDriver::OwnObjectNameForLink() const {
  if (mAudioObject == nullptr || !mAudioObject->IsRegistered()) {
    EW_REPORT_ERROR("Audio object not created!");
    return nullptr;
  }
  return mAudioObject->GetName();
}

// ---------------------------------------------------------------------------

cContinuousControllerDriver::cContinuousControllerDriver(const char* name, UWORD minimum, UWORD maximum, bool levelType,
                                                         bool createObject)
    : mMinimum(minimum),
      mMaximum(maximum),
      mRange(RangeOf(minimum, maximum)),
      mLevelType(levelType),
      mControlFlag(false) {
  if (name != nullptr && createObject) mAudioObject = new cContinuousController(name, this, 4);
}

cContinuousControllerDriver::~cContinuousControllerDriver() { DestroyAudioObject(); }

cContinuousController* cContinuousControllerDriver::GetController() const {
  return static_cast<cContinuousController*>(mAudioObject);
}

bool cContinuousControllerDriver::LinkSourceToRange(const char* sourcePath, EW_NET_DATA_SCALE sourceParam,
                                                    bool remove) {
  const char* own = OwnObjectNameForLink();
  return own != nullptr &&
         QueueParameterLink(sourcePath, sourceParam, own, ContinuousControllerRange, true, remove, false);
}

bool cContinuousControllerDriver::LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove,
                                                    bool bidirectional) {
  const char* own = OwnObjectNameForLink();
  return own != nullptr &&
         QueueParameterLink(sourcePath, sourceParam, own, M_CONTINUOUS_CONTROLLER_VALUE, true, remove, bidirectional);
}

bool cContinuousControllerDriver::LinkRangeToDestination(const char* destinationPath,
                                                         EW_NET_DATA_SCALE destinationParam, bool remove) {
  const char* own = OwnObjectNameForLink();
  return own != nullptr &&
         QueueParameterLink(own, ContinuousControllerRange, destinationPath, destinationParam, true, remove, false);
}

bool cContinuousControllerDriver::LinkValueToDestination(const char* destinationPath,
                                                         EW_NET_DATA_SCALE destinationParam, bool remove,
                                                         bool bidirectional) {
  const char* own = OwnObjectNameForLink();
  return own != nullptr && QueueParameterLink(own, M_CONTINUOUS_CONTROLLER_VALUE, destinationPath, destinationParam,
                                              true, remove, bidirectional);
}

void cContinuousControllerDriver::SetRange(UWORD minimum, UWORD maximum, bool levelType) {
  mMinimum = minimum;
  mMaximum = maximum;
  mRange = RangeOf(minimum, maximum);
  mLevelType = levelType;
}

void cContinuousControllerDriver::SetControlFlag(bool flag) { mControlFlag = flag; }

UWORD cContinuousControllerDriver::ClampValue(UWORD value) const {
  if (value > mMaximum) return mMaximum;
  if (value < mMinimum) return mMinimum;
  return value;
}

UWORD cContinuousControllerDriver::ValueForNetwork(UWORD value) const {
  return mLevelType && value == mMinimum ? 0 : value;
}

float cContinuousControllerDriver::NormalisedFromValue(UWORD value) const {
  const UWORD clamped = ClampValue(value);
  if (mRange == 0 || (mLevelType && clamped == 0)) return 0.0f;
  return static_cast<float>(clamped - mMinimum) / static_cast<float>(mRange);
}

UWORD cContinuousControllerDriver::ValueFromNormalised(float position) const {
  double x = std::isnan(position) ? 0.0 : static_cast<double>(position);
  if (x < 0.0) {
    if (mLevelType) return 0;
    x = 0.0;
  }
  if (x > 1.0) x = 1.0;
  if (x == 0.0 && mLevelType) return 0;
  // lround rounds halves away from zero.
  return static_cast<UWORD>(mMinimum + std::lround(static_cast<double>(mRange) * x));
}

// ---------------------------------------------------------------------------

cMultiContinuousControllerDriverBase::cMultiContinuousControllerDriverBase(const char* name, const char* selectorPath,
                                                                           UBYTE numberOfChildren)
    : cNetObject(name, 1, false, false),
      mNumberOfChildren(numberOfChildren),
      mChildren(new std::unique_ptr<cMultiCCDriverChild>[numberOfChildren]),
      mFollowsSelector(new UBYTE[numberOfChildren]()),
      mSelectedIndex(0) {
  // Without a registered name the link could never be made, and the builder
  // would retry it for ever.
  if (IsRegistered() && selectorPath != nullptr) {
    QueueParameterLink(selectorPath, PARAMETER_BASE, GetName(), PARAMETER_BASE, true, false, false);
  }
}

cMultiContinuousControllerDriverBase::~cMultiContinuousControllerDriverBase() {
  cRegistryLocker lock;
  Unregister();
  for (UBYTE i = 0; i < mNumberOfChildren; ++i) mChildren[i].reset();
}

void cMultiContinuousControllerDriverBase::EntrypointMessage(cEWNetMessage& message) {
  if (message.mMethod != PARAMETER_BASE) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  if (!EWNetPayloadLongEnough(*this, message, 1)) return;
  mSelectedIndex = message.GetUBYTE(0);
}

cMultiCCDriverChild* cMultiContinuousControllerDriverBase::CreateChild(UBYTE index, const char* name) {
  if (index >= mNumberOfChildren) {
    EW_REPORT_ERROR("Child index %d out of range, %d children, \"%s\"", index, mNumberOfChildren, GetName());
    return nullptr;
  }
  // Callable from any thread: the child and its controller are made (and the
  // one replaced is destroyed) under the registry lock.
  cRegistryLocker lock;
  mChildren[index].reset();
  mChildren[index].reset(new cMultiCCDriverChild(this, index, name));
  return mChildren[index].get();
}

void cMultiContinuousControllerDriverBase::SetFollowsSelector(UBYTE index, bool follows) {
  if (index < mNumberOfChildren) mFollowsSelector[index] = follows ? 1 : 0;
}

bool cMultiContinuousControllerDriverBase::FollowsSelector(UBYTE index) const {
  return index < mNumberOfChildren && mFollowsSelector[index] != 0;
}

// ---------------------------------------------------------------------------

cMultiCCDriverChild::cMultiCCDriverChild(cMultiContinuousControllerDriverBase* parent, UBYTE index, const char* name)
    : cContinuousControllerDriver(name, 0, 0xFFFF, false, false),
      mParent(parent),
      mIndex(index),
      mValue(0),
      mStepSize(1) {
  RecalculateStepSize();
  // Created only now: its first tick polls this object.
  if (name != nullptr) mAudioObject = new cContinuousController(name, this, 4);
}

cMultiCCDriverChild::~cMultiCCDriverChild() { DestroyAudioObject(); }

UWORD cMultiCCDriverChild::ReadValue() {
  if (mParent->GetSelectedIndex() == mIndex) {
    const int count = mParent->ReadSelectedStepCount();
    if (mParent->FollowsSelector(mIndex) && count != 0) {
      int value = mValue + count * mStepSize;
      if (value > mMaximum) value = mMaximum;
      if (value < mMinimum) value = mMinimum;
      mValue = static_cast<UWORD>(value);
    }
  }
  return ValueForNetwork(mValue);
}

void cMultiCCDriverChild::WriteValue(UWORD value) { mValue = ClampValue(value); }

void cMultiCCDriverChild::SetRange(UWORD minimum, UWORD maximum, bool levelType) {
  cContinuousControllerDriver::SetRange(minimum, maximum, levelType);
  RecalculateStepSize();
}

void cMultiCCDriverChild::RecalculateStepSize() {
  // About 3/256 of the range per step, never finer than one value.
  double step = std::trunc(mRange / 256.0 * 3.0 + 0.5);
  if (step < 1.0) step = 1.0;
  if (step > 256.0) step = 256.0;
  mStepSize = static_cast<UWORD>(step);
}
