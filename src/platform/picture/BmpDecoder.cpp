// Bitmap files: a 14-byte file header, then a DIB whose pixels start where the header says.
#include "platform/picture/Dib.h"
#include "platform/picture/Picture.h"

namespace tavo {

namespace {
constexpr size_t kFileHeaderSize = 14;
}

std::optional<Graphic> DecodeBmp(std::span<const uint8_t> bytes) {
  if (bytes.size() < kFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const uint64_t pixelOffset = uint64_t{bytes[10]} | uint64_t{bytes[11]} << 8 |
                               uint64_t{bytes[12]} << 16 | uint64_t{bytes[13]} << 24;
  if (pixelOffset < kFileHeaderSize) return std::nullopt;
  return DecodeDib(bytes.subspan(kFileHeaderSize), pixelOffset - kFileHeaderSize, DibUse::File);
}

}  // namespace tavo
