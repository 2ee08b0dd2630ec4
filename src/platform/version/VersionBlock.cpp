#include "platform/version/VersionBlock.h"

#include <cstring>
#include <span>
#include <string>

#include "platform/codepage/CodePage.h"
#include "platform/version/ByteOrder.h"
#include "platform/version/VersionInfo.h"
#include "platform/version/VersionNode.h"

namespace tavo::version {
namespace {

constexpr std::u16string_view kRootKey = u"VS_VERSION_INFO";
// Marks a block laid out with a conversion area ("FE2X", as on the original platform).
constexpr uint32_t kConversionSignature = 0x58324546;

// Layout: [root, padded to 32 bits][signature][conversion area]. A text value of n bytes at
// offset p of the root converts into the area at 2p, with room for 2n + 2 bytes: four bytes per
// UTF-16 unit and the terminating zero, enough for any code set the locale can name (UTF-8 needs
// three, GB18030 four). Values never overlap, so their slots never do either.
uint64_t RootArea(uint64_t rootSize) { return AlignTo4(rootSize); }
uint64_t ConversionAreaOffset(uint64_t rootSize) { return RootArea(rootSize) + 4; }
uint64_t ConversionAreaSize(uint64_t rootSize) { return 2 * RootArea(rootSize) + 4; }

bool KeyEquals(std::u16string_view key, std::u16string_view wanted) {
  if (key.size() != wanted.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    if (fold(key[i]) != fold(wanted[i])) return false;
  }
  return true;
}

std::vector<std::u16string> SplitPath(std::string_view subBlock) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  while (start <= subBlock.size()) {
    size_t stop = subBlock.find('\\', start);
    if (stop == std::string_view::npos) stop = subBlock.size();
    if (stop > start) parts.push_back(codepage::AnsiToWide(subBlock.substr(start, stop - start)));
    start = stop + 1;
  }
  return parts;
}

bool AnswerFixedInfo(unsigned char* block, const VersionNode& root, void** buffer, uint32_t* len) {
  if (root.valueSize < sizeof(VS_FIXEDFILEINFO)) return false;
  if (Le32(block + root.valueOffset) != VS_FFI_SIGNATURE) return false;
  *buffer = block + root.valueOffset;
  *len = sizeof(VS_FIXEDFILEINFO);
  return true;
}

bool AnswerText(unsigned char* block, size_t rootSize, const VersionNode& node, void** buffer,
                uint32_t* len) {
  if (Le32(block + RootArea(rootSize)) != kConversionSignature) return false;
  std::u16string text;
  for (size_t at = node.valueOffset; at + 2 <= node.valueOffset + node.valueSize; at += 2) {
    const char16_t unit = Le16(block + at);
    if (unit == 0) break;
    text += unit;
  }
  const std::string ansi = codepage::WideToAnsi(text);
  const uint64_t room = 2 * uint64_t{node.valueSize} + 2;
  if (ansi.size() + 1 > room) return false;
  unsigned char* slot = block + ConversionAreaOffset(rootSize) + 2 * uint64_t{node.valueOffset};
  std::memcpy(slot, ansi.c_str(), ansi.size() + 1);
  *buffer = slot;
  *len = static_cast<uint32_t>(ansi.size() + 1);
  return true;
}

}  // namespace

std::optional<std::vector<unsigned char>> ReadVersionRoot(const FileReader& file, FileRange range) {
  unsigned char header[kNodeHeaderSize];
  if (range.size < sizeof header || !file.Read(range.offset, header, sizeof header)) {
    return std::nullopt;
  }
  const size_t rootSize = Le16(header);
  if (rootSize > range.size) return std::nullopt;
  auto bytes = file.ReadRange({range.offset, rootSize});
  if (!bytes) return std::nullopt;
  const auto root = VersionNode::Parse(*bytes, 0, bytes->size());
  if (!root || root->key != kRootKey) return std::nullopt;
  return bytes;
}

uint64_t BlockSize(uint64_t rootSize) {
  return ConversionAreaOffset(rootSize) + ConversionAreaSize(rootSize);
}

void LayOutBlock(const std::vector<unsigned char>& root, unsigned char* block) {
  std::memset(block, 0, BlockSize(root.size()));
  std::memcpy(block, root.data(), root.size());
  const uint32_t signature = kConversionSignature;
  for (int i = 0; i < 4; ++i) {
    block[RootArea(root.size()) + i] = static_cast<unsigned char>(signature >> (8 * i));
  }
}

bool QueryBlock(unsigned char* block, std::string_view subBlock, void** buffer, uint32_t* len) {
  const size_t rootSize = Le16(block);
  const std::span<const unsigned char> bytes(block, rootSize);
  auto node = VersionNode::Parse(bytes, 0, rootSize);
  if (!node || node->key != kRootKey) return false;
  const auto path = SplitPath(subBlock);
  if (path.empty()) return AnswerFixedInfo(block, *node, buffer, len);
  for (const std::u16string& part : path) {
    bool found = false;
    for (VersionNode& child : node->Children(bytes)) {
      if (KeyEquals(child.key, part)) {
        node = std::move(child);
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  if (node->isText) return AnswerText(block, rootSize, *node, buffer, len);
  *buffer = block + node->valueOffset;
  *len = static_cast<uint32_t>(node->valueSize);
  return true;
}

}  // namespace tavo::version
