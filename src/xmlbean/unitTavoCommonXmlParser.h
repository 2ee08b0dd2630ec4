// The thin layer over the XML DOM (libxml2). The DOM never leaves the parser: every name and
// text is copied out and converted to the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

struct _xmlDoc;
struct _xmlNode;
struct _xmlNs;

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

  // Parses a whole document from UTF-16 text; false for text that is not well-formed. An
  // encoding declaration inside the text is ignored: the text is already decoded. Nothing
  // outside the text is read: no external subset, no external entity, no network.
  bool LoadXml(std::u16string_view text);

  // Why the last text did not load or read: the DOM's first fatal message with its line and
  // column (1 based; 0 when the text has none, such as an empty text).
  struct Failure {
    std::string message;  // UTF-8; empty after a text that loaded
    int line = 0;
    int column = 0;
  };
  const Failure& LastFailure() const { return failure_; }

  // The first child element of node with exactly that (qualified) name, or none.
  XmlNode SelectChild(XmlNode node, const std::string& name) const;
  // The text of SelectChild(node, name), converted to ANSI; empty when there is none.
  std::string GetChildText(XmlNode node, const std::string& name) const;
  // The text of node's attribute of exactly that name, converted to ANSI; empty when absent.
  std::string GetAttributeText(XmlNode node, const std::string& name) const;

  // DOM operations with the results the item tree needs.
  static std::u16string NodeName(XmlNode node);  // qualified name, "#text", "#comment", ...
  // All character data below node, in ANSI; a tavo::Error for a text beyond 10 MB.
  std::string NodeText(XmlNode node) const;
  // Child nodes in document order; an entity reference's children are its replacement text.
  static XmlNode FirstChild(XmlNode node);
  static XmlNode NextSibling(XmlNode node);

  XmlNode Root = nullptr;  // the document element of the last text loaded

 protected:
  // The DOM name in UTF-8, which compares like the UTF-16 name and costs no conversion.
  static std::string Utf8Name(XmlNode node);
  static int32_t LineOf(XmlNode node);
  void SetFailure(std::string message) { failure_ = Failure{std::move(message), 0, 0}; }
  // A namespace declaration under the attribute name that wrote it: "xmlns" or "xmlns:p".
  static std::string DeclarationName(const _xmlNs* ns);
  std::string AnsiName(XmlNode node) const;
  std::string ToAnsi(std::string_view utf8) const;
  // GetAttributeText with a UTF-8 name.
  std::string AttributeText(XmlNode node, std::string_view utf8Name) const;

  // Work done on the replacement text of entity references is limited, so that a small document
  // cannot expand into an unbounded tree or text: past the limit the parse fails.
  static bool IsExpanded(XmlNode node);  // whether node came from an entity's replacement
  void Charge(size_t units) const;       // a tavo::Error past the limit
  static constexpr size_t kNodeCost = 32;
  // Deeper trees arise only through entity references; they are refused rather than recursed.
  static constexpr int kMaxDepth = 1024;

  struct DocumentDeleter {
    void operator()(_xmlDoc* doc) const;
  };
  std::unique_ptr<_xmlDoc, DocumentDeleter> Document;

 private:
  void AppendText(XmlNode node, std::string& utf8, bool expanded, int depth) const;

  bool ansiIsUtf8_ = true;
  Failure failure_;
  mutable size_t expansionLeft_ = 0;
};

}  // namespace tavo
