// Our own bitmap reader, on bitmap files of any content.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const std::optional<tavo::Graphic> graphic = tavo::DecodeBmp(std::span(data, size))) {
    if (graphic->Empty()) tavo::fuzz::Fail("a decoded bitmap without pixels");
    tavo::fuzz::CheckGraphic(*graphic);
  }
  return 0;
}
