// Reads an XML text into a bean: the envelope parts and the item tree.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "xmlbean/unitTavoCommonXmlBean.h"
#include "xmlbean/unitTavoCommonXmlParser.h"

namespace tavo {

class TTavoXMLBeanParser : public TTavoXMLParser {
 public:
  TTavoXMLBeanParser() = default;

  // The XML text (UTF-16) as a new bean owned by the caller, or null when the text is not a
  // well-formed document.
  static std::unique_ptr<TTavoCommonXmlBean> ParseXmlBean(std::u16string_view text);

  std::unique_ptr<TTavoCommonXmlBean> Parse(std::u16string_view text);

  // Tree building: an element with at least one content child becomes an item, any other a
  // property. BuildItem fills target (appending to what it holds), or a new item when target is
  // null, which the caller then owns.
  TItem* BuildItem(XmlNode node, TItem* target);
  std::unique_ptr<TItemProperty> BuildProperty(XmlNode node);
  void ReadAttributes(XmlNode node, TCommonNodeObject& target);
  static bool IsContentNode(XmlNode node);
  static int CountContentChildren(XmlNode node);
  void ReadParameters(std::map<std::string, std::string>& parameters, XmlNode element);

 private:
  void FillItem(XmlNode node, TItem& item, int depth);
  static bool HasContentChild(XmlNode node);
  void ReadHead(XmlNode head, TTavoCommonXmlBean& bean);
  void ReadBody(XmlNode body, TTavoCommonXmlBean& bean);
};

}  // namespace tavo
