#include "platform/registry/RegistryEncoding.h"

#include <cstdint>
#include <vector>

#include "platform/codepage/CodePage.h"

namespace tavo {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// "xx,xx,..." (possibly empty) into bytes.
std::optional<std::vector<uint8_t>> ParseByteList(std::string_view list) {
  std::vector<uint8_t> bytes;
  if (list.empty()) return bytes;
  for (size_t i = 0;; i += 3) {
    if (i + 2 > list.size()) return std::nullopt;
    const int high = HexDigit(list[i]);
    const int low = HexDigit(list[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    if (i + 2 == list.size()) return bytes;
    if (list[i + 2] != ',') return std::nullopt;
  }
}

// The byte list of "hex:..." or "hex(N):..." and N (REG_BINARY, 3, for "hex:").
struct HexValue {
  uint32_t type;
  std::string_view list;
};

std::optional<HexValue> SplitHexValue(std::string_view text) {
  if (!StartsWithNoCase(text, "hex")) return std::nullopt;
  text.remove_prefix(3);
  uint32_t type = 3;
  if (!text.empty() && text.front() == '(') {
    const size_t close = text.find(')');
    if (close == std::string_view::npos || close < 2 || close > 9) return std::nullopt;
    type = 0;
    for (char c : text.substr(1, close - 1)) {
      const int digit = HexDigit(c);
      if (digit < 0) return std::nullopt;
      type = type * 16 + static_cast<uint32_t>(digit);
    }
    text.remove_prefix(close + 1);
  }
  if (text.empty() || text.front() != ':') return std::nullopt;
  return HexValue{type, text.substr(1)};
}

}  // namespace

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

bool IsTypedValueText(std::string_view text) {
  if (StartsWithNoCase(text, "dword:")) {
    const std::string_view digits = text.substr(6);
    if (digits.size() != 8) return false;
    for (char c : digits)
      if (HexDigit(c) < 0) return false;
    return true;
  }
  const auto hex = SplitHexValue(text);
  return hex && ParseByteList(hex->list).has_value();
}

std::optional<std::string> DecodeExpandableString(std::string_view text) {
  constexpr uint32_t kExpandString = 2;
  const auto hex = SplitHexValue(text);
  if (!hex || hex->type != kExpandString) return std::nullopt;
  const auto bytes = ParseByteList(hex->list);
  if (!bytes || bytes->size() % 2 != 0) return std::nullopt;
  std::u16string units;
  for (size_t i = 0; i < bytes->size(); i += 2) {
    const auto unit = static_cast<char16_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));
    if (unit == 0) break;  // the terminating zero
    units += unit;
  }
  return codepage::StrictWideToUtf8(units);
}

std::string QuoteRegistryString(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace tavo
