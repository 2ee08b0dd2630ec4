// Loading component modules; used inside the runtime only.
#pragma once

#include <string>

#include "platform/com/ClassFactory.h"

namespace tavo {

// The DllGetClassObject of the module at `path`, loaded once and kept for the life of the
// process. An OleError (CO_E_DLLNOTFOUND, CO_E_ERRORINDLL) whose message names the module and
// the loader's reason when it cannot be loaded or lacks the entry point.
DllGetClassObjectFunction LoadComponentModule(const std::string& path);

}  // namespace tavo
