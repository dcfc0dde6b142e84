#include "OrvelGUI/Application/ApplicationBase.h"

#include "OrvelGUI/Application/UnixSignalManager.h"

cApplicationBase::cApplicationBase() : mUnixSignalManager(std::make_unique<cUnixSignalManager>()) {}

cApplicationBase::~cApplicationBase() = default;
