// The registry file's text: the Windows ".reg" export format, UTF-8. A header line
// "Windows Registry Editor Version 5.00", then one section per key, "[HKEY_CLASSES_ROOT\A\B]",
// followed by its values, @="default" and "name"="value".
#pragma once

#include <string>
#include <string_view>

#include "platform/registry/RegistryTree.h"

namespace tavo {

// Reads the text of the file `fileName`. Damage is an Error naming the file and the line; an
// empty text is an empty registry.
RegistryTree ParseRegistryText(std::string_view text, const std::string& fileName);

// Writes every key (parents first, an empty key too, so keys without values survive) and its
// values, default value first.
std::string FormatRegistryText(const RegistryTree& tree);

}  // namespace tavo
