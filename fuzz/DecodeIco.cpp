// Our own icon reader, on icon files of any content.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const std::optional<tavo::Graphic> graphic = tavo::DecodeIco(std::span(data, size))) {
    tavo::fuzz::CheckGraphic(*graphic);
  }
  return 0;
}
