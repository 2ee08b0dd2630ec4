// Our own DIB reader. Every size and offset is computed in 64 bits and checked against the data
// before anything is read or allocated.
#include <algorithm>
#include <array>
#include <bit>

#include "platform/picture/Dib.h"
#include "platform/picture/PixelFormat.h"

namespace tavo {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

constexpr uint32_t kCoreHeaderSize = 12;  // OS/2 BITMAPCOREHEADER
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER

uint16_t ReadU16(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t ReadU32(std::span<const uint8_t> bytes, uint64_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

// True when `count` bytes starting at `offset` lie inside `bytes`.
bool InRange(std::span<const uint8_t> bytes, uint64_t offset, uint64_t count) {
  return offset <= bytes.size() && count <= bytes.size() - offset;
}

// One colour channel of a 16- or 32-bit pixel, given by a contiguous bit mask.
class Channel {
 public:
  Channel() = default;
  explicit Channel(uint32_t mask)
      : mask_(mask), shift_(std::countr_zero(mask)), bits_(std::popcount(mask)) {}

  bool Contiguous() const { return mask_ == 0 || std::has_single_bit((mask_ >> shift_) + 1ull); }
  bool Present() const { return mask_ != 0; }

  // The channel's value scaled to 0..255; 0 for a channel without mask.
  uint32_t Extract(uint32_t pixel) const {
    if (mask_ == 0) return 0;
    const uint32_t value = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return value >> (bits_ - 8);
    const uint32_t max = (1u << bits_) - 1;
    return (value * 255 + max / 2) / max;
  }

 private:
  uint32_t mask_ = 0;
  int shift_ = 0;
  int bits_ = 0;
};

struct DibHeader {
  int64_t width = 0;
  int64_t height = 0;  // rows of the picture (for an icon, without the mask)
  bool topDown = false;
  uint32_t bitCount = 0;
  uint32_t compression = kBiRgb;
  uint64_t tableOffset = 0;  // colour table, after the header and any masks
  uint64_t tableEntries = 0;
  uint32_t tableEntrySize = 4;
  std::array<uint32_t, 4> masks{};  // red, green, blue, alpha; alpha 0 means opaque
};

bool ValidFormat(const DibHeader& header, DibUse use) {
  switch (header.compression) {
    case kBiRgb:
      return header.bitCount == 1 || header.bitCount == 2 || header.bitCount == 4 ||
             header.bitCount == 8 || header.bitCount == 16 || header.bitCount == 24 ||
             header.bitCount == 32;
    case kBiRle8:
    case kBiRle4:
      return use == DibUse::File && !header.topDown &&
             header.bitCount == (header.compression == kBiRle8 ? 8u : 4u);
    case kBiBitfields:
    case kBiAlphaBitfields:
      return header.bitCount == 16 || header.bitCount == 32;
    default:
      return false;
  }
}

void SetDefaultMasks(DibHeader& header, DibUse use) {
  if (header.bitCount == 16) {
    header.masks = {0x7C00, 0x03E0, 0x001F, 0};
  } else if (header.bitCount == 32) {
    // Icons carry alpha in the fourth byte; bitmap files without masks are opaque.
    header.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, use == DibUse::Icon ? 0xFF000000 : 0};
  }
}

std::optional<DibHeader> ReadHeader(std::span<const uint8_t> dib, DibUse use) {
  if (!InRange(dib, 0, 4)) return std::nullopt;
  const uint32_t headerSize = ReadU32(dib, 0);
  DibHeader header;
  int64_t declaredHeight = 0;
  uint32_t colorsUsed = 0;
  if (headerSize == kCoreHeaderSize) {
    if (!InRange(dib, 0, kCoreHeaderSize)) return std::nullopt;
    header.width = ReadU16(dib, 4);
    declaredHeight = ReadU16(dib, 6);
    header.bitCount = ReadU16(dib, 10);
    header.tableEntrySize = 3;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124) {
    if (!InRange(dib, 0, headerSize)) return std::nullopt;
    header.width = static_cast<int32_t>(ReadU32(dib, 4));
    declaredHeight = static_cast<int32_t>(ReadU32(dib, 8));
    header.bitCount = ReadU16(dib, 14);
    header.compression = ReadU32(dib, 16);
    colorsUsed = ReadU32(dib, 32);
  } else {
    return std::nullopt;
  }
  header.topDown = declaredHeight < 0;
  header.height = declaredHeight < 0 ? -declaredHeight : declaredHeight;
  if (use == DibUse::Icon) {
    if (header.topDown) return std::nullopt;
    header.height /= 2;
  }
  if (!FitsPixelLimit(header.width, header.height) || !ValidFormat(header, use)) {
    return std::nullopt;
  }

  header.tableOffset = headerSize;
  SetDefaultMasks(header, use);
  if (header.compression == kBiBitfields || header.compression == kBiAlphaBitfields) {
    const bool withAlpha = header.compression == kBiAlphaBitfields || headerSize >= 56;
    const uint64_t maskCount = withAlpha ? 4 : 3;
    // A plain info header is followed by the masks; larger headers hold them.
    const uint64_t masksAt = kInfoHeaderSize;
    if (headerSize == kInfoHeaderSize) header.tableOffset += maskCount * 4;
    if (!InRange(dib, masksAt, maskCount * 4)) return std::nullopt;
    for (uint64_t i = 0; i < 4; ++i)
      header.masks[i] = i < maskCount ? ReadU32(dib, masksAt + i * 4) : 0;
  }
  for (uint32_t mask : header.masks) {
    if (!Channel(mask).Contiguous()) return std::nullopt;
  }
  header.tableEntries = colorsUsed;
  if (header.bitCount <= 8 && colorsUsed == 0) header.tableEntries = 1u << header.bitCount;
  return header;
}

// The colour table: always 256 entries, so that any index can be looked up; entries the file
// does not give are opaque black.
std::optional<std::array<uint32_t, 256>> ReadColorTable(std::span<const uint8_t> dib,
                                                        const DibHeader& header) {
  std::array<uint32_t, 256> table;
  table.fill(kOpaqueBlack);
  if (header.bitCount > 8) return table;
  const uint64_t tableBytes = header.tableEntries * header.tableEntrySize;
  if (!InRange(dib, header.tableOffset, tableBytes)) return std::nullopt;
  const uint64_t count = std::min<uint64_t>(header.tableEntries, 1u << header.bitCount);
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t at = header.tableOffset + i * header.tableEntrySize;
    table[i] = Argb(255, dib[at + 2], dib[at + 1], dib[at]);
  }
  return table;
}

uint64_t RowStride(int64_t width, uint32_t bitCount) {
  return (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
}

// Decodes uncompressed rows; `pixels` starts at the first stored row.
void DecodeRows(std::span<const uint8_t> pixels, const DibHeader& header,
                const std::array<uint32_t, 256>& table, Graphic& graphic) {
  const uint64_t stride = RowStride(header.width, header.bitCount);
  const std::array<Channel, 4> channels = {Channel(header.masks[0]), Channel(header.masks[1]),
                                           Channel(header.masks[2]), Channel(header.masks[3])};
  const uint32_t bits = header.bitCount;
  for (int64_t row = 0; row < header.height; ++row) {
    const uint64_t rowStart = static_cast<uint64_t>(row) * stride;
    const int64_t y = header.topDown ? row : header.height - 1 - row;
    uint32_t* out = graphic.pixels.data() + y * header.width;
    for (int64_t x = 0; x < header.width; ++x) {
      if (bits <= 8) {
        const uint64_t bit = static_cast<uint64_t>(x) * bits;
        const uint32_t byte = pixels[rowStart + bit / 8];
        const uint32_t index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        out[x] = table[index];
      } else if (bits == 24) {
        const uint64_t at = rowStart + static_cast<uint64_t>(x) * 3;
        out[x] = Argb(255, pixels[at + 2], pixels[at + 1], pixels[at]);
      } else {
        const uint64_t at = rowStart + static_cast<uint64_t>(x) * (bits / 8);
        const uint32_t value = bits == 16 ? ReadU16(pixels, at) : ReadU32(pixels, at);
        const uint32_t alpha = channels[3].Present() ? channels[3].Extract(value) : 255;
        out[x] = Argb(alpha, channels[0].Extract(value), channels[1].Extract(value),
                      channels[2].Extract(value));
      }
    }
  }
}

// Run-length encoded rows (always stored bottom-up). Pixels the runs skip stay transparent.
// Returns false when the data ends before the end-of-bitmap mark. Without a graphic it only
// checks the data, so that a damaged stream is refused before its pixels are allocated.
bool DecodeRunLengths(std::span<const uint8_t> data, const DibHeader& header,
                      const std::array<uint32_t, 256>& table, Graphic* graphic) {
  const bool fourBit = header.compression == kBiRle4;
  int64_t x = 0;
  int64_t line = 0;  // counted from the bottom
  auto put = [&](uint32_t index) {
    if (graphic && x < header.width && line < header.height) {
      graphic->pixels[(header.height - 1 - line) * header.width + x] = table[index];
    }
    ++x;
  };
  uint64_t at = 0;
  while (line < header.height) {
    if (!InRange(data, at, 2)) return false;
    const uint32_t count = data[at];
    const uint32_t value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (uint32_t i = 0; i < count; ++i) {
        put(fourBit ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      }
    } else if (value == 0) {
      x = 0;
      ++line;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (!InRange(data, at, 2)) return false;
      x += data[at];
      line += data[at + 1];
      at += 2;
    } else {
      const uint64_t bytes = fourBit ? (value + 1) / 2 : value;
      if (!InRange(data, at, bytes)) return false;
      for (uint32_t i = 0; i < value; ++i) {
        const uint32_t byte = data[at + (fourBit ? i / 2 : i)];
        put(fourBit ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
      }
      at += (bytes + 1) / 2 * 2;  // absolute runs are padded to 16 bits
    }
  }
  return true;
}

// Icons: a 32-bit image whose alpha is all zero uses the mask instead, as do all others.
void ApplyIconMask(std::span<const uint8_t> mask, const DibHeader& header, Graphic& graphic) {
  if (header.bitCount == 32 && std::any_of(graphic.pixels.begin(), graphic.pixels.end(),
                                           [](uint32_t pixel) { return (pixel >> 24) != 0; })) {
    return;
  }
  const uint64_t stride = RowStride(header.width, 1);
  for (int64_t row = 0; row < header.height; ++row) {
    uint32_t* out = graphic.pixels.data() + (header.height - 1 - row) * header.width;
    for (int64_t x = 0; x < header.width; ++x) {
      const bool transparent = (mask[row * stride + x / 8] >> (7 - x % 8)) & 1;
      out[x] = transparent ? 0 : out[x] | 0xFF000000;
    }
  }
}

}  // namespace

std::optional<Graphic> DecodeDib(std::span<const uint8_t> dib, std::optional<uint64_t> pixelOffset,
                                 DibUse use) {
  const std::optional<DibHeader> header = ReadHeader(dib, use);
  if (!header) return std::nullopt;
  const auto table = ReadColorTable(dib, *header);
  if (!table) return std::nullopt;
  const uint64_t pixelsAt =
      pixelOffset.value_or(header->tableOffset + header->tableEntries * header->tableEntrySize);
  if (pixelsAt > dib.size()) return std::nullopt;
  const std::span<const uint8_t> data = dib.subspan(pixelsAt);

  const bool runLengths = header->compression == kBiRle8 || header->compression == kBiRle4;
  const uint64_t pixelBytes =
      RowStride(header->width, header->bitCount) * static_cast<uint64_t>(header->height);
  const uint64_t maskBytes =
      use == DibUse::Icon ? RowStride(header->width, 1) * static_cast<uint64_t>(header->height) : 0;
  if (!runLengths && !InRange(data, 0, pixelBytes + maskBytes)) return std::nullopt;
  if (runLengths && !DecodeRunLengths(data, *header, *table, nullptr)) return std::nullopt;

  Graphic graphic;
  graphic.kind = use == DibUse::Icon ? GraphicKind::Icon : GraphicKind::Bitmap;
  graphic.width = static_cast<int32_t>(header->width);
  graphic.height = static_cast<int32_t>(header->height);
  graphic.pixels.assign(static_cast<size_t>(header->width * header->height), 0);
  if (runLengths) {
    DecodeRunLengths(data, *header, *table, &graphic);
    return graphic;
  }
  DecodeRows(data, *header, *table, graphic);
  if (use == DibUse::Icon) ApplyIconMask(data.subspan(pixelBytes), *header, graphic);
  return graphic;
}

}  // namespace tavo
