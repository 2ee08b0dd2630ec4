// Which version of a component is installed, and whether a class is registered: the version
// resource of a file, the module registered for a class, and the class's registry entry.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/Guid.h"

namespace tavo {

// The file version of `path` as four decimal numbers joined by "."; empty when the file has no
// version resource or cannot be read; "-1" when reading its version block fails.
std::u16string GetFileVersionText(std::u16string_view path);

// The file version of the module registered as the "ToolboxBitmap32" owner of `classId`;
// empty when there is no such entry. A value that is not a string is an error.
std::u16string GetClassFileVersion(const CLSID& classId);

// True when the key "\CLSID\{" + classIdText + "}" exists. The text is used as it is: no check
// of its form, no removal of braces it may carry.
bool IsClassRegistered(const std::string& ansiClassIdText);

}  // namespace tavo
