// What registration writes under HKEY_CLASSES_ROOT: the type library, the class with its
// programmatic identifier, and everything a host reads back.
#pragma once

#include <string>

#include "platform/registry/RegistryTree.h"

namespace tavo {

inline constexpr const char* kRegistryEntryError = "Error creating system registry entry";

// The full path of this module file.
std::string ModulePath();

// Writes every key of the control for the module at `modulePath` (UTF-8), in order.
void RegisterControl(RegistryTree& registry, const std::string& modulePath);
// Removes what RegisterControl wrote; keys that are missing are passed over.
void UnregisterControl(RegistryTree& registry);

}  // namespace tavo
