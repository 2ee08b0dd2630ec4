// Builders shared by the print engine tests: rule elements as item trees, pictures as Base64
// text, and rule and data documents as XML text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/Base64Text.h"
#include "xmlbean/unitTavoCommonXmlBean.h"

namespace tavo::test {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// An element of a rule: an item with the attributes and a "text" property (an item needs at
// least one child).
inline std::unique_ptr<TItem> Element(const Attributes& attributes, const std::string& text = "") {
  auto item = std::make_unique<TItem>();
  item->Name = "e";
  for (const auto& [name, value] : attributes) item->AddAttribute(name, value);
  item->AddChild(std::make_unique<TItemProperty>("text", text));
  return item;
}

inline std::string Base64(const std::vector<uint8_t>& bytes) { return Base64Encode(bytes); }

// A 24-bit Windows bitmap file of the given size, all pixels one colour.
inline std::vector<uint8_t> BmpFile(int32_t width, int32_t height) {
  const uint32_t rowSize = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  const uint32_t dataSize = rowSize * static_cast<uint32_t>(height);
  std::vector<uint8_t> file;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  file.push_back('B');
  file.push_back('M');
  put(54 + dataSize, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<uint32_t>(width), 4);
  put(static_cast<uint32_t>(height), 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(dataSize, 4);
  put(2835, 4);
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  file.insert(file.end(), dataSize, 0x80);
  return file;
}

// A valid 1 x 1 PNG picture.
inline const std::string kPngBase64 =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJg"
    "gg==";

// A rule document whose body holds the `printing` element.
inline std::string RuleDocument(const std::string& printingAttributes,
                                const std::string& elements) {
  return "<doc><body><printing " + printingAttributes + ">" + elements + "</printing></body></doc>";
}

// A data document: body, a wrapper, the record with its fields, then the rows.
inline std::string DataDocument(const std::string& fields, const std::string& rows = "") {
  return "<doc><body><data><invoice>" + fields + (rows.empty() ? "" : "<rows>" + rows + "</rows>") +
         "</invoice></data></body></doc>";
}

}  // namespace tavo::test
