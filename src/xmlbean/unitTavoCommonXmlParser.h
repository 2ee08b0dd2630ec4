// The thin layer over the XML DOM (libxml2). The DOM never leaves the parser: every name and
// text is copied out and converted to the ANSI code page.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct _xmlDoc;
struct _xmlNode;

namespace tavo {

// A DOM node of the parser's document (element, attribute, text, comment, ...); valid while the
// parser lives. Null stands for none.
using XmlNode = _xmlNode*;

class TTavoXMLParser {
 public:
  TTavoXMLParser();
  virtual ~TTavoXMLParser();
  TTavoXMLParser(const TTavoXMLParser&) = delete;
  TTavoXMLParser& operator=(const TTavoXMLParser&) = delete;

  // Parses a whole document from UTF-16 text; false for text that is not well-formed.
  bool LoadXml(std::u16string_view text);

  // The first child element of node with exactly that name, or none.
  XmlNode SelectChild(XmlNode node, const std::string& name) const;
  // The text of SelectChild(node, name), converted to ANSI; empty when there is none.
  std::string GetChildText(XmlNode node, const std::string& name) const;
  // The text of node's attribute of exactly that name, converted to ANSI; empty when absent.
  std::string GetAttributeText(XmlNode node, const std::string& name) const;

  // DOM operations with the results the item tree needs.
  static std::u16string NodeName(XmlNode node);  // qualified name, "#text", "#comment", ...
  static std::string NodeText(XmlNode node);     // all character data below node, ANSI

  XmlNode Root = nullptr;  // the document element of the last text loaded

 protected:
  struct DocumentDeleter {
    void operator()(_xmlDoc* doc) const;
  };
  std::unique_ptr<_xmlDoc, DocumentDeleter> Document;
};

}  // namespace tavo
