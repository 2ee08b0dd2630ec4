// RFC 2045 Base64: pictures handed to hosts as text, and inline picture texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// With wrapLines, a line break every 76 characters, as mail and editors wrap.
inline std::string Base64Encode(std::span<const uint8_t> bytes, bool wrapLines = false) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve(bytes.size() / 3 * 4 + bytes.size() / 57 * 2 + 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = uint32_t{bytes[i]} << 16;
    if (i + 1 < bytes.size()) group |= uint32_t{bytes[i + 1]} << 8;
    if (i + 2 < bytes.size()) group |= bytes[i + 2];
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    if (wrapLines && (i / 3 + 1) % 19 == 0) out += "\r\n";
  }
  return out;
}

// Characters outside the alphabet (line breaks, blanks) are skipped and "=" ends the data.
inline std::vector<uint8_t> DecodeBase64(std::string_view text) {
  auto valueOf = [](unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3 + 3);
  uint32_t bits = 0;
  int bitCount = 0;
  for (const char c : text) {
    if (c == '=') break;
    const int value = valueOf(static_cast<unsigned char>(c));
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      bytes.push_back(static_cast<uint8_t>(bits >> bitCount));
      bits &= (1u << bitCount) - 1;
    }
  }
  return bytes;
}

}  // namespace tavo
