// How texts and typed values are written in the registry file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavo {

// The number of characters of valid UTF-8 text.
size_t Utf8Length(std::string_view text);

// True for the typed (non-string) value texts the file format knows: "dword:" with eight
// hexadecimal digits, "hex:" or "hex(N):" with a comma-separated list of two-digit bytes.
bool IsTypedValueText(std::string_view text);

// The text of an expandable string value ("hex(2):" with UTF-16LE bytes, a terminating zero
// optional); empty for any other value text or bytes that are not UTF-16.
std::optional<std::string> DecodeExpandableString(std::string_view text);

// A string as the file quotes it: "..." with "\" and """ escaped by "\".
std::string QuoteRegistryString(std::string_view text);

}  // namespace tavo
