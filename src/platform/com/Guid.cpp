#include "platform/com/Guid.h"

#include <array>

namespace tavo {
namespace {

// Positions of the 32 hexadecimal digits in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
constexpr size_t kTextLength = 38;
constexpr std::array<size_t, 4> kDashes{9, 14, 19, 24};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The 16 bytes in text order: Data1, Data2, Data3 most significant first, then Data4.
std::array<uint8_t, 16> TextOrderBytes(const GUID& guid) {
  std::array<uint8_t, 16> bytes{};
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(guid.Data1 >> (24 - 8 * i));
  bytes[4] = static_cast<uint8_t>(guid.Data2 >> 8);
  bytes[5] = static_cast<uint8_t>(guid.Data2);
  bytes[6] = static_cast<uint8_t>(guid.Data3 >> 8);
  bytes[7] = static_cast<uint8_t>(guid.Data3);
  for (int i = 0; i < 8; ++i) bytes[8 + i] = guid.Data4[i];
  return bytes;
}

}  // namespace

std::string FormatGuid(const GUID& guid) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto bytes = TextOrderBytes(guid);
  std::string text = "{";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  text += '}';
  return text;
}

std::u16string FormatGuidWide(const GUID& guid) {
  const std::string text = FormatGuid(guid);
  return std::u16string(text.begin(), text.end());
}

std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() != kTextLength || text.front() != '{' || text.back() != '}') return std::nullopt;
  std::array<uint8_t, 16> bytes{};
  size_t digit = 0;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3]) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int value = HexDigit(text[i]);
    if (value < 0) return std::nullopt;
    bytes[digit / 2] = static_cast<uint8_t>(bytes[digit / 2] << 4 | value);
    ++digit;
  }
  GUID guid{};
  guid.Data1 = static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
  guid.Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}

}  // namespace tavo
