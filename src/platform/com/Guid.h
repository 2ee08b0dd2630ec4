// Globally unique identifiers of classes and interfaces, and their braced text form
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/ComApi.h"

namespace tavo {

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// The braced form with upper-case hexadecimal digits.
TAVO_COM_API std::string FormatGuid(const GUID& guid);
TAVO_COM_API std::u16string FormatGuidWide(const GUID& guid);
// The braced form, in either letter case; anything else (no braces, wrong lengths or
// separators, other characters, surrounding text) is no GUID.
TAVO_COM_API std::optional<GUID> ParseGuid(std::string_view text);

}  // namespace tavo
