// Integers read from file bytes in a stated byte order, without alignment assumptions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavo::version {

inline uint64_t ReadUnsigned(const unsigned char* p, size_t width, bool bigEndian) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    const size_t k = bigEndian ? i : width - 1 - i;
    value = (value << 8) | p[k];
  }
  return value;
}

inline uint16_t Le16(const unsigned char* p) {
  return static_cast<uint16_t>(ReadUnsigned(p, 2, false));
}
inline uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(ReadUnsigned(p, 4, false));
}

}  // namespace tavo::version
