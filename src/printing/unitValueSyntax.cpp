#include "printing/unitValueSyntax.h"

#include <cctype>
#include <charconv>
#include <string>

#include "platform/core/AsciiText.h"

namespace tavo {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

bool TryReadInteger(std::string_view text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view rest = text.substr(i);
  bool hex = false;
  size_t digitsAt = 0;
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    hex = true;
    digitsAt = 1;
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    hex = true;
    digitsAt = 2;
  }
  const std::string_view digits = rest.substr(digitsAt);
  if (digits.empty()) return false;

  uint64_t magnitude = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (char c : digits) {
    const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > limit) return false;
  }
  const uint32_t bits = static_cast<uint32_t>(magnitude);
  value = static_cast<int32_t>(negative ? 0u - bits : bits);
  return true;
}

int32_t ReadInteger(std::string_view text, int32_t defaultValue) {
  int32_t value = 0;
  return TryReadInteger(text, value) ? value : defaultValue;
}

bool TryReadReal(std::string_view text, double& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // Check the shape first: from_chars would also take "inf", "nan" and hexadecimal floats.
  size_t i = 0;
  size_t mantissaDigits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
    ++i, ++mantissaDigits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
  }
  if (i != text.size()) return false;

  // from_chars is independent of the process locale; it does not take a leading "+" or a
  // trailing ".", both of which the shape above allows.
  std::string normal(text);
  if (normal.back() == '.') normal.push_back('0');
  double parsed = 0;
  const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), parsed);
  if (error != std::errc() || end != normal.data() + normal.size()) return false;
  value = negative ? -parsed : parsed;
  return true;
}

double ReadReal(std::string_view text, double defaultValue) {
  double value = 0;
  return TryReadReal(text, value) ? value : defaultValue;
}

bool TryReadBoolean(std::string_view text, bool& value) {
  int32_t integer = 0;
  double real = 0;
  if (TryReadInteger(text, integer)) {
    value = integer != 0;
  } else if (TryReadReal(text, real)) {
    value = real != 0;
  } else if (EqualsIgnoringAsciiCase(text, "True")) {
    value = true;
  } else if (EqualsIgnoringAsciiCase(text, "False")) {
    value = false;
  } else {
    return false;
  }
  return true;
}

bool ReadBoolean(std::string_view text, bool defaultValue) {
  bool value = false;
  return TryReadBoolean(text, value) ? value : defaultValue;
}

std::string_view TrimControls(std::string_view text) {
  auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && isControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && isControl(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace tavo
