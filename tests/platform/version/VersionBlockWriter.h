// Builds VS_VERSIONINFO blocks for the tests, structure by structure, so a test can also build
// damaged ones.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavo::testing {

using Bytes = std::vector<unsigned char>;

struct BlockNode {
  std::u16string key;
  bool isText = true;
  Bytes value;
  uint16_t valueLength = 0;  // UTF-16 units for text, bytes otherwise
  std::vector<BlockNode> children;

  // The structure's bytes; wLength counts them all (the last child's trailing padding excluded).
  Bytes Encode() const;
};

BlockNode TextEntry(std::u16string key, std::u16string_view text);

// The fixed version record for the given file and product versions.
Bytes FixedFileInfo(std::array<uint16_t, 4> file, std::array<uint16_t, 4> product);

// A complete block: fixed record, one string table under `language` with `strings`, and a
// translation pair taken from `language`.
BlockNode StandardBlock(std::array<uint16_t, 4> fileVersion,
                        std::vector<std::pair<std::u16string, std::u16string>> strings = {},
                        std::u16string language = u"080404B0");

void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);
void Set16(Bytes& b, size_t at, uint32_t v);
void Set32(Bytes& b, size_t at, uint32_t v);

}  // namespace tavo::testing
