// Automation strings: UTF-16 text preceded by its length in bytes (4 bytes) and followed by a
// zero character. A null BSTR is the empty string. Allocated and freed only here, so a string
// made in a component module may be freed by its host and the other way round.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/ComApi.h"
#include "platform/com/HResult.h"

namespace tavo {

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// Null when `text` is null or memory runs out.
TAVO_COM_API BSTR SysAllocString(const OLECHAR* text);
// `length` characters of `text`, which may hold zero characters; with a null `text`, that many
// zero characters. Null when memory runs out or the length cannot be held.
TAVO_COM_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
TAVO_COM_API void SysFreeString(BSTR text);
// The length in characters, embedded zeros included; 0 for null.
TAVO_COM_API UINT SysStringLen(BSTR text);
TAVO_COM_API UINT SysStringByteLen(BSTR text);

// The text of a BSTR, embedded zeros included.
inline std::u16string_view BstrView(BSTR text) { return {text, SysStringLen(text)}; }

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  // Copies the text; an Error when memory runs out.
  TAVO_COM_API explicit Bstr(std::u16string_view text);
  // Takes ownership of `text`.
  static Bstr Attach(BSTR text) {
    Bstr owner;
    owner.text_ = text;
    return owner;
  }
  ~Bstr() { SysFreeString(text_); }
  Bstr(Bstr&& other) noexcept : text_(other.Detach()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR Get() const { return text_; }
  std::u16string_view View() const { return BstrView(text_); }
  // Gives up ownership, e.g. to hand the string out through an out parameter.
  BSTR Detach() {
    BSTR text = text_;
    text_ = nullptr;
    return text;
  }
  void Reset(BSTR text = nullptr) {
    SysFreeString(text_);
    text_ = text;
  }
  // For an out parameter that receives a new string: frees the current one first.
  BSTR* Receive() {
    Reset();
    return &text_;
  }

 private:
  BSTR text_ = nullptr;
};

}  // namespace tavo
