#include "platform/version/VersionNode.h"

#include <algorithm>
#include <utility>

#include "platform/version/ByteOrder.h"

namespace tavo::version {

std::optional<VersionNode> VersionNode::Parse(std::span<const unsigned char> block, size_t offset,
                                              size_t limit) {
  if (limit > block.size() || offset > limit || limit - offset < kNodeHeaderSize) {
    return std::nullopt;
  }
  const unsigned char* p = block.data() + offset;
  const size_t length = Le16(p);
  const size_t valueLength = Le16(p + 2);
  const uint16_t type = Le16(p + 4);
  if (length < kNodeHeaderSize || length % 2 != 0 || length > limit - offset) return std::nullopt;

  VersionNode node;
  node.begin = offset;
  node.end = offset + length;
  node.isText = type == 1;
  size_t at = offset + kNodeHeaderSize;
  for (;;) {
    if (node.end - at < 2) return std::nullopt;  // the key runs past the structure
    const char16_t unit = Le16(block.data() + at);
    at += 2;
    if (unit == 0) break;
    node.key += unit;
  }
  node.valueOffset = AlignTo4(at);
  if (node.valueOffset > node.end) node.valueOffset = node.end;
  const size_t room = node.end - node.valueOffset;
  if (node.isText) {
    // Text lengths count UTF-16 units; some resource compilers count bytes instead, so text
    // is held to the structure and read up to its terminating zero.
    node.valueSize = std::min(valueLength * 2, room);
  } else {
    if (valueLength > room) return std::nullopt;
    node.valueSize = valueLength;
  }
  node.childrenOffset = std::min(AlignTo4(node.valueOffset + node.valueSize), node.end);
  return node;
}

std::vector<VersionNode> VersionNode::Children(std::span<const unsigned char> block) const {
  std::vector<VersionNode> children;
  size_t at = childrenOffset;
  while (at < end && end - at >= kNodeHeaderSize) {
    auto child = Parse(block, at, end);
    if (!child) break;
    at = AlignTo4(child->end);  // at least 8 bytes on: the walk always ends
    children.push_back(std::move(*child));
  }
  return children;
}

}  // namespace tavo::version
