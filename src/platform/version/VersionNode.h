// One structure of a VS_VERSIONINFO block (VS_VERSIONINFO itself, StringFileInfo, StringTable,
// String, VarFileInfo, Var): wLength, wValueLength, wType, a zero-terminated UTF-16 key, padding
// to 32 bits, the Value, padding, the children. All of it little-endian. Every length is checked
// against the bytes of the enclosing structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::version {

constexpr size_t kNodeHeaderSize = 6;

struct VersionNode {
  size_t begin = 0;     // offset of wLength in the block
  size_t end = 0;       // begin + wLength
  bool isText = false;  // wType 1: the Value is UTF-16 text
  std::u16string key;
  size_t valueOffset = 0;     // 32-bit aligned
  size_t valueSize = 0;       // in bytes, within [valueOffset, end)
  size_t childrenOffset = 0;  // 32-bit aligned; may equal end

  // The structure at `offset`, which must lie inside `limit` bytes of `block`; none when any of
  // its lengths does not fit, or wLength is odd (the structures are made of UTF-16 and 32-bit
  // units).
  static std::optional<VersionNode> Parse(std::span<const unsigned char> block, size_t offset,
                                          size_t limit);

  // The well-formed children in order. A damaged child ends the list.
  std::vector<VersionNode> Children(std::span<const unsigned char> block) const;
};

constexpr size_t AlignTo4(size_t n) { return (n + 3) & ~size_t{3}; }

}  // namespace tavo::version
