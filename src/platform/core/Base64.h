// RFC 2045 Base64 encoding: pictures handed to hosts as text, and inline picture texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>

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

}  // namespace tavo
