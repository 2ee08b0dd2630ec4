// The value syntax of rule documents: integers, reals and booleans written as text. Rule keys and
// colours share it, so one reading serves both.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavo {

// Optional leading blanks, an optional sign, then decimal digits or hexadecimal digits after
// "$", "x" or "0x" (either case). The whole text is used and the value fits 32 bits
// (hexadecimal values up to FFFFFFFF wrap, so $FF000008 is a system colour).
bool TryReadInteger(std::string_view text, int32_t& value);
int32_t ReadInteger(std::string_view text, int32_t defaultValue);

// Sign, digits with an optional fraction and exponent; "." is the decimal point whatever the
// process locale, since rule files are written that way. Surrounding blanks are allowed.
bool TryReadReal(std::string_view text, double& value);
double ReadReal(std::string_view text, double defaultValue);

// A number (zero is false) or True/False in any letter case.
bool TryReadBoolean(std::string_view text, bool& value);
bool ReadBoolean(std::string_view text, bool defaultValue);

// The text without leading and trailing characters with codes 0 to 32.
std::string_view TrimControls(std::string_view text);
inline bool IsBlankText(std::string_view text) { return TrimControls(text).empty(); }

}  // namespace tavo
