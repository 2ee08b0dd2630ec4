// The alignment of text boxes and images, read by name from rule documents.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavo {

enum TTavoAlign : uint8_t {
  otaAuto = 0,  // either direction: centred / middle
  otaLeft = 1,
  otaCenter = 2,
  otaRight = 3,
  otaTop = 4,
  otaMiddle = 5,
  otaBottom = 6,
};

// What a name outside the list reads as: neither left, right, top nor bottom.
inline constexpr TTavoAlign kUnknownAlign = static_cast<TTavoAlign>(255);

// The alignment whose name equals the text over its whole length, ASCII letter case ignored;
// kUnknownAlign for any other text, the empty text included.
TTavoAlign TextToAlign(std::string_view name);

}  // namespace tavo
