#include "OrvelGUI/Core/Version.h"
