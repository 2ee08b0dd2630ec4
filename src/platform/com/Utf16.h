// UTF-8 and UTF-16 inside the runtime: registry texts are UTF-8, automation strings UTF-16.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavo {

// Empty for text that is not valid UTF-16 (a lone surrogate).
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
// Bytes that are not UTF-8 become U+FFFD, so a message always arrives.
std::u16string Utf8ToUtf16Lenient(std::string_view text);

}  // namespace tavo
