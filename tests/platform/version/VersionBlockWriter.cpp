#include "platform/version/VersionBlockWriter.h"

namespace tavo::testing {

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void Set16(Bytes& b, size_t at, uint32_t v) {
  b.at(at) = static_cast<unsigned char>(v);
  b.at(at + 1) = static_cast<unsigned char>(v >> 8);
}

void Set32(Bytes& b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}

static void PadTo4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

Bytes BlockNode::Encode() const {
  Bytes b(6, 0);
  for (char16_t c : key) Put16(b, c);
  Put16(b, 0);
  PadTo4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const BlockNode& child : children) {
    PadTo4(b);
    const Bytes c = child.Encode();
    b.insert(b.end(), c.begin(), c.end());
  }
  Set16(b, 0, static_cast<uint32_t>(b.size()));
  Set16(b, 2, valueLength);
  Set16(b, 4, isText ? 1 : 0);
  return b;
}

BlockNode TextEntry(std::u16string key, std::u16string_view text) {
  BlockNode node{std::move(key), true, {}, static_cast<uint16_t>(text.size() + 1), {}};
  for (char16_t c : text) Put16(node.value, c);
  Put16(node.value, 0);
  return node;
}

Bytes FixedFileInfo(std::array<uint16_t, 4> file, std::array<uint16_t, 4> product) {
  Bytes b;
  for (uint32_t v :
       {0xFEEF04BDu, 0x00010000u, uint32_t(file[0]) << 16 | file[1],
        uint32_t(file[2]) << 16 | file[3], uint32_t(product[0]) << 16 | product[1],
        uint32_t(product[2]) << 16 | product[3], 0x3Fu, 0u, 0x40004u, 2u, 0u, 0u, 0u}) {
    Put32(b, v);
  }
  return b;
}

BlockNode StandardBlock(std::array<uint16_t, 4> fileVersion,
                        std::vector<std::pair<std::u16string, std::u16string>> strings,
                        std::u16string language) {
  BlockNode table{language, true, {}, 0, {}};
  for (const auto& [key, text] : strings) table.children.push_back(TextEntry(key, text));
  BlockNode translation{u"Translation", false, {}, 4, {}};
  const std::u16string lang = language.substr(0, 4);
  const std::u16string page = language.substr(4);
  Put16(translation.value, std::stoul(std::string(lang.begin(), lang.end()), nullptr, 16));
  Put16(translation.value, std::stoul(std::string(page.begin(), page.end()), nullptr, 16));

  BlockNode root{u"VS_VERSION_INFO", false, FixedFileInfo(fileVersion, {1, 2, 3, 4}), 52, {}};
  root.children.push_back({u"StringFileInfo", true, {}, 0, {table}});
  root.children.push_back({u"VarFileInfo", true, {}, 0, {translation}});
  return root;
}

}  // namespace tavo::testing
