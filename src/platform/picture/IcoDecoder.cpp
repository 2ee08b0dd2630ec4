// Windows icon files: a directory of images, of which the largest is shown. Each image is a PNG
// file or a DIB with a transparency mask. Only the chosen image is decoded: a damaged largest
// image gives no picture rather than a smaller one.
#include <cstring>

#include "platform/picture/Dib.h"
#include "platform/picture/Picture.h"

namespace tavo {
namespace {

constexpr uint64_t kDirectoryHeaderSize = 6;
constexpr uint64_t kEntrySize = 16;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t ReadU32(std::span<const uint8_t> bytes, uint64_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

struct Entry {
  uint32_t area = 0;
  uint32_t bitCount = 0;
  uint32_t size = 0;
  uint32_t offset = 0;
};

Entry ReadEntry(std::span<const uint8_t> bytes, uint64_t at) {
  // A stored width or height of 0 means 256.
  const uint32_t width = bytes[at] == 0 ? 256 : bytes[at];
  const uint32_t height = bytes[at + 1] == 0 ? 256 : bytes[at + 1];
  return Entry{width * height, static_cast<uint32_t>(bytes[at + 6] | bytes[at + 7] << 8),
               ReadU32(bytes, at + 8), ReadU32(bytes, at + 12)};
}

}  // namespace

std::optional<Graphic> DecodeIco(std::span<const uint8_t> bytes) {
  if (bytes.size() < kDirectoryHeaderSize) return std::nullopt;
  const uint32_t type = bytes[2] | bytes[3] << 8;
  if (bytes[0] != 0 || bytes[1] != 0 || (type != 1 && type != 2)) return std::nullopt;
  const uint64_t count = bytes[4] | bytes[5] << 8;
  if (count == 0 || count * kEntrySize > bytes.size() - kDirectoryHeaderSize) return std::nullopt;

  Entry best;
  for (uint64_t i = 0; i < count; ++i) {
    const Entry entry = ReadEntry(bytes, kDirectoryHeaderSize + i * kEntrySize);
    if (i == 0 || entry.area > best.area ||
        (entry.area == best.area && entry.bitCount > best.bitCount)) {
      best = entry;
    }
  }
  if (best.offset > bytes.size() || best.size > bytes.size() - best.offset) return std::nullopt;
  const std::span<const uint8_t> image = bytes.subspan(best.offset, best.size);

  std::optional<Graphic> graphic;
  if (image.size() >= sizeof kPngSignature &&
      std::memcmp(image.data(), kPngSignature, sizeof kPngSignature) == 0) {
    graphic = DecodePng(image);
  } else {
    graphic = DecodeDib(image, std::nullopt, DibUse::Icon);
  }
  if (graphic) graphic->kind = GraphicKind::Icon;
  return graphic;
}

}  // namespace tavo
