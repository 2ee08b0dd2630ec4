#include "platform/com/Bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/core/Error.h"

namespace tavo {
namespace {

constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t* Header(BSTR text) { return reinterpret_cast<uint32_t*>(text) - 1; }

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<char16_t>::length(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  // The byte length must fit the 32-bit prefix.
  if (length > (std::numeric_limits<uint32_t>::max() - kPrefix) / sizeof(OLECHAR) - 1)
    return nullptr;
  const size_t bytes = size_t{length} * sizeof(OLECHAR);
  void* block = std::malloc(kPrefix + bytes + sizeof(OLECHAR));
  if (block == nullptr) return nullptr;
  *static_cast<uint32_t*>(block) = static_cast<uint32_t>(bytes);
  auto* result = reinterpret_cast<BSTR>(static_cast<char*>(block) + kPrefix);
  if (text != nullptr)
    std::memcpy(result, text, bytes);
  else
    std::memset(result, 0, bytes);
  result[length] = u'\0';
  return result;
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(Header(text));
}

UINT SysStringLen(BSTR text) { return text == nullptr ? 0 : *Header(text) / sizeof(OLECHAR); }

UINT SysStringByteLen(BSTR text) { return text == nullptr ? 0 : *Header(text); }

Bstr::Bstr(std::u16string_view text) {
  if (text.size() > std::numeric_limits<UINT>::max())
    throw Error("The text is too long for an automation string");
  text_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (text_ == nullptr) throw Error("Out of memory");
}

}  // namespace tavo
