// Letter case of ASCII text: document keys, colour and alignment names compare without regard
// to it; no other byte is folded, so multi-byte characters are never touched.
#pragma once

#include <string_view>

namespace tavo {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace tavo
