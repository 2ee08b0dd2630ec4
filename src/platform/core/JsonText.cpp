#include "platform/core/JsonText.h"

namespace tavo {

std::u16string JsonQuote(std::u16string_view text) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  std::u16string quoted;
  quoted.reserve(text.size() + 2);
  quoted += u'"';
  for (const char16_t c : text) {
    switch (c) {
      case u'"':
        quoted += u"\\\"";
        break;
      case u'\\':
        quoted += u"\\\\";
        break;
      case u'\b':
        quoted += u"\\b";
        break;
      case u'\f':
        quoted += u"\\f";
        break;
      case u'\n':
        quoted += u"\\n";
        break;
      case u'\r':
        quoted += u"\\r";
        break;
      case u'\t':
        quoted += u"\\t";
        break;
      default:
        if (c < 0x20) {
          quoted += u"\\u00";
          quoted += kHex[c >> 4];
          quoted += kHex[c & 0xF];
        } else {
          quoted += c;
        }
    }
  }
  quoted += u'"';
  return quoted;
}

}  // namespace tavo
