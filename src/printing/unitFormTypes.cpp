#include "printing/unitFormTypes.h"

#include <array>
#include <cctype>

namespace tavo {

TTavoAlign TextToAlign(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kNames = {
      "otaAuto", "otaLeft", "otaCenter", "otaRight", "otaTop", "otaMiddle", "otaBottom"};
  for (size_t value = 0; value < kNames.size(); ++value) {
    const std::string_view candidate = kNames[value];
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(name[i])) ==
             std::tolower(static_cast<unsigned char>(candidate[i]));
    }
    if (same) return static_cast<TTavoAlign>(value);
  }
  return kUnknownAlign;
}

}  // namespace tavo
