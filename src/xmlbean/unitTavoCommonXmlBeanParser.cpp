#include "xmlbean/unitTavoCommonXmlBeanParser.h"

#include <libxml/tree.h>

#include <cstdint>
#include <exception>

#include "platform/core/Error.h"

namespace tavo {
namespace {

// Leading and trailing code units up to U+0020 (blanks and control characters) go; a
// byte-order mark stays.
std::u16string_view Trim(std::u16string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return text.substr(first, last - first);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits after "$", "x"
// or "0x"; 0 when the text does not convert or does not fit in 64 bits.
int64_t TextToInt64(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return 0;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || digit >= base) return 0;
    if (base == 16) {
      if (value >> 60 != 0) return 0;
      value = value << 4 | static_cast<uint64_t>(digit);
    } else {
      if (value > (UINT64_MAX - static_cast<uint64_t>(digit)) / 10) return 0;
      value = value * 10 + static_cast<uint64_t>(digit);
    }
  }
  // Hexadecimal digits give the 64-bit pattern as written; decimal ones must fit the range.
  if (base == 10 && value > (negative ? uint64_t{1} << 63 : uint64_t{INT64_MAX})) return 0;
  return static_cast<int64_t>(negative ? 0 - value : value);
}

}  // namespace

std::unique_ptr<TTavoCommonXmlBean> TTavoXMLBeanParser::ParseXmlBean(std::u16string_view text) {
  TTavoXMLBeanParser parser;
  return parser.Parse(text);
}

std::unique_ptr<TTavoCommonXmlBean> TTavoXMLBeanParser::Parse(std::u16string_view text) {
  const std::u16string_view trimmed = Trim(text);
  try {
    if (!LoadXml(trimmed)) return nullptr;
    XmlNode head = SelectChild(Root, "head");
    XmlNode body = SelectChild(Root, "body");
    auto bean = std::make_unique<TTavoCommonXmlBean>(true);
    if (head != nullptr) ReadHead(head, *bean);
    if (body != nullptr) ReadBody(body, *bean);
    return bean;
  } catch (const std::exception& error) {
    // A document the DOM cannot give us whole yields nothing, never a partial bean.
    SetFailure(error.what());
    return nullptr;
  }
}

void TTavoXMLBeanParser::ReadHead(XmlNode head, TTavoCommonXmlBean& bean) {
  if (XmlNode service = SelectChild(head, "service")) {
    TService& target = *bean.Service;
    target.handler = GetChildText(service, "handler");
    target.action = GetChildText(service, "action");
    target.handleTime = GetChildText(service, "handleTime");
    target.replyCode = GetChildText(service, "replyCode");
    target.replyMsg = GetChildText(service, "replyMsg");
    target.lastGetTime = GetChildText(service, "lastGetTime");
    ReadAttributes(service, target);
  }
  if (XmlNode user = SelectChild(head, "user")) {
    TUser& target = *bean.User;
    target.userId = GetChildText(user, "userId");
    target.loginName = GetChildText(user, "loginName");
    target.loginType = GetChildText(user, "loginType");
    target.password = GetChildText(user, "password");
    target.userType = GetChildText(user, "userType");
    target.encryptedPassword = GetChildText(user, "encryptedPassword");
    ReadAttributes(user, target);
  }
  const std::string createTime = GetChildText(head, "createTime");
  if (!createTime.empty()) bean.CreateTime = TextToInt64(createTime);
}

void TTavoXMLBeanParser::ReadBody(XmlNode body, TTavoCommonXmlBean& bean) {
  XmlNode request = SelectChild(body, "request");
  XmlNode response = SelectChild(body, "response");
  if (request != nullptr) {
    auto& parameters = static_cast<TRequest&>(*bean.Request).Parameters;
    ReadParameters(parameters, request);
    if (XmlNode items = SelectChild(request, "items")) {
      BuildItem(items, bean.Item);
      // The tree takes the request's place; the request node it replaces is freed.
      std::unique_ptr<TItem> replaced(bean.Request);
      bean.Request = bean.Item;
    }
  }
  if (response != nullptr) {
    auto& parameters = static_cast<TResponse&>(*bean.Response).Parameters;
    ReadParameters(parameters, response);
    if (XmlNode items = SelectChild(response, "items")) {
      BuildItem(items, bean.Item);
      bean.SetResponse(bean.Item);
    }
  }
  if (request == nullptr && response == nullptr) BuildItem(body, bean.Item);
}

TItem* TTavoXMLBeanParser::BuildItem(XmlNode node, TItem* target) {
  std::unique_ptr<TItem> created;
  if (target == nullptr) {
    created = std::make_unique<TItem>();
    target = created.get();
  }
  FillItem(node, *target, 0);
  created.release();
  return target;
}

void TTavoXMLBeanParser::FillItem(XmlNode node, TItem& item, int depth) {
  if (depth > kMaxDepth) throw Error("The XML text is nested too deeply");
  item.Name = AnsiName(node);
  if (item.SourceLine == 0) item.SourceLine = LineOf(node);
  ReadAttributes(node, item);
  const bool expanded = node->type == XML_ENTITY_REF_NODE || IsExpanded(node);
  for (XmlNode child = FirstChild(node); child != nullptr; child = child->next) {
    if (!IsContentNode(child)) continue;
    if (expanded) Charge(kNodeCost);
    if (!HasContentChild(child)) {
      std::unique_ptr<TItemProperty> property = BuildProperty(child);
      property->SourceLine = LineOf(child);
      item.AddChild(std::move(property));
    } else {
      auto childItem = std::make_unique<TItem>();
      FillItem(child, *childItem, depth + 1);
      item.AddChild(std::move(childItem));
    }
  }
}

std::unique_ptr<TItemProperty> TTavoXMLBeanParser::BuildProperty(XmlNode node) {
  if (node->type == XML_ELEMENT_NODE && Utf8Name(node) == "prop") {
    std::string name = AttributeText(node, "name");
    if (!name.empty()) {
      auto property = std::make_unique<TItemProperty>(std::move(name), NodeText(node));
      property->Value = AttributeText(node, "value");
      property->DataType = AttributeText(node, "dataType");
      return property;
    }
  }
  std::string name = AnsiName(node);
  if (IsExpanded(node)) Charge(kNodeCost + name.size());
  return std::make_unique<TItemProperty>(std::move(name), NodeText(node));
}

void TTavoXMLBeanParser::ReadAttributes(XmlNode node, TCommonNodeObject& target) {
  if (node == nullptr || node->type != XML_ELEMENT_NODE) return;
  const bool expanded = IsExpanded(node);
  for (xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next) {
    const std::string_view href =
        ns->href != nullptr ? reinterpret_cast<const char*>(ns->href) : "";
    if (expanded) Charge(kNodeCost + href.size());
    target.AddAttribute(ToAnsi(DeclarationName(ns)), ToAnsi(href));
  }
  for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    auto* attributeNode = reinterpret_cast<XmlNode>(attribute);
    std::string name = AnsiName(attributeNode);
    if (expanded) Charge(kNodeCost + name.size());
    target.AddAttribute(name, NodeText(attributeNode));
  }
}

bool TTavoXMLBeanParser::IsContentNode(XmlNode node) {
  // Exactly the nodes whose DOM name is none of "#text", "#cdata-section" and "#comment".
  return node != nullptr && node->type != XML_TEXT_NODE && node->type != XML_CDATA_SECTION_NODE &&
         node->type != XML_COMMENT_NODE;
}

int TTavoXMLBeanParser::CountContentChildren(XmlNode node) {
  int count = 0;
  for (XmlNode child = FirstChild(node); child != nullptr; child = child->next) {
    if (IsContentNode(child)) ++count;
  }
  return count;
}

bool TTavoXMLBeanParser::HasContentChild(XmlNode node) {
  for (XmlNode child = FirstChild(node); child != nullptr; child = child->next) {
    if (IsContentNode(child)) return true;
  }
  return false;
}

void TTavoXMLBeanParser::ReadParameters(std::map<std::string, std::string>& parameters,
                                        XmlNode element) {
  XmlNode child = FirstChild(element);
  if (child == nullptr) return;
  parameters.clear();
  for (; child != nullptr; child = NextSibling(child)) {
    const std::string name = Utf8Name(child);
    if (name == "items") continue;
    parameters.insert_or_assign(ToAnsi(name), NodeText(child));
  }
}

}  // namespace tavo
