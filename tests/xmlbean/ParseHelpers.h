// Shared helpers of the parser tests: parse UTF-8 source text, and describe a tree compactly.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

#include "platform/codepage/CodePage.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace tavo::testing {

inline std::unique_ptr<TTavoCommonXmlBean> ParseUtf8(std::string_view xml) {
  return TTavoXMLBeanParser::ParseXmlBean(codepage::Utf8ToWide(xml));
}

// An item as name[attr=value,...]{children}, a property as name='text' with :value and
// /dataType when set. Attribute lists and child lists are left out when empty.
inline std::string Describe(const TItem& item) {
  std::string out = item.Name;
  if (item.Attributes != nullptr && item.Attributes->Count() > 0) {
    out += '[';
    for (const auto& entry : item.Attributes->entries) {
      if (out.back() != '[') out += ',';
      out += entry.text + "=" + static_cast<const TTavoNameValue*>(entry.object)->Value;
    }
    out += ']';
  }
  if (item.Children != nullptr && item.Children->Count() > 0) {
    out += '{';
    for (const auto& entry : item.Children->entries) {
      if (out.back() != '{') out += ',';
      if (typeid(*entry.object) == typeid(TItem)) {
        out += Describe(*static_cast<const TItem*>(entry.object));
      } else {
        const auto& property = *static_cast<const TItemProperty*>(entry.object);
        out += property.Name + "='" + property.Text + "'";
        if (!property.Value.empty()) out += ":" + property.Value;
        if (!property.DataType.empty()) out += "/" + property.DataType;
      }
    }
    out += '}';
  }
  return out;
}

}  // namespace tavo::testing
