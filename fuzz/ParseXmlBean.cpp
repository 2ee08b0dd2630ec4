// XML text into a bean: the input as UTF-8 decoded to UTF-16, as the control hands documents to
// the parser, and the same bytes taken as raw UTF-16 units (lone surrogates and all).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/codepage/CodePage.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace {

using tavo::TItem;

// Reads every name, attribute and value the way the print engine looks them up.
size_t Walk(const TItem& item, int depth) {
  if (depth > 10000) tavo::fuzz::Fail("item tree deeper than the parser allows");
  size_t total = item.Name.size() + item.GetAttribute("id").size();
  for (int i = 0; i < item.PropertyCount(); ++i) {
    const std::string name = item.GetPropertyNameAt(i);
    total += name.size() + item.GetPropertyValueAt(i).size();
    total += item.GetPropertyValue(name, true).size();
  }
  for (int i = 0; i < item.ItemCount(); ++i) {
    const TItem* child = item.ItemAt(i);
    if (!child) tavo::fuzz::Fail("ItemAt gave none inside ItemCount");
    total += Walk(*child, depth + 1);
    if (!item.FindItem(child->Name)) tavo::fuzz::Fail("FindItem misses a child by its own name");
  }
  return total;
}

void ParseAndWalk(std::u16string_view text) {
  const auto bean = tavo::TTavoXMLBeanParser::ParseXmlBean(text);
  if (!bean) return;
  volatile size_t sink = 0;
  if (bean->Item) sink = sink + Walk(*bean->Item, 0);
  if (bean->Request) sink = sink + Walk(*bean->Request, 0);
  if (bean->Response) sink = sink + Walk(*bean->Response, 0);
  if (bean->Service) sink = sink + bean->Service->action.size();
  if (bean->User) sink = sink + bean->User->loginName.size();
  // The data printer takes the rule's `printing` item out of the tree.
  if (bean->Item) bean->Item->RemoveItem("printing", false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ParseAndWalk(tavo::codepage::Utf8ToWide(bytes));

  std::u16string units(size / 2, u'\0');
  std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
  ParseAndWalk(units);
  return 0;
}
