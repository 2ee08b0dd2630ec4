#include "printing/unitFormTypes.h"

#include <array>

#include "platform/core/AsciiText.h"

namespace tavo {

TTavoAlign TextToAlign(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kNames = {
      "otaAuto", "otaLeft", "otaCenter", "otaRight", "otaTop", "otaMiddle", "otaBottom"};
  for (size_t value = 0; value < kNames.size(); ++value) {
    if (EqualsIgnoringAsciiCase(name, kNames[value])) return static_cast<TTavoAlign>(value);
  }
  return kUnknownAlign;
}

}  // namespace tavo
