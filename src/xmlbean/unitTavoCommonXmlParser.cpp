#include "xmlbean/unitTavoCommonXmlParser.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <climits>
#include <utility>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

// The replacement text of entity references may add this much work to one parse (bytes of
// text, plus kNodeCost per node); plain documents use none of it.
constexpr size_t kExpansionLimit = 16u << 20;

// The text arrives decoded (our own UTF-8), so any encoding declaration in it is ignored. Blank
// text between elements is dropped, while an element holding only blanks keeps them as its text. No
// network, no external subset, no entity substitution: nothing outside the text is read.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_IGNORE_ENC | XML_PARSE_COMPACT;

struct ContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

void EnsureLibraryInitialised() {
  static const bool initialised = (xmlInitParser(), true);
  (void)initialised;
}

// Parse errors make the result none; nothing is printed.
void IgnoreMessage(void*, const char*, ...) {}

struct FatalErrors {
  int count = 0;
  TTavoXMLParser::Failure first;
};

void RecordError(void* userData, xmlErrorPtr error) {
  auto* context = static_cast<xmlParserCtxtPtr>(userData);
  if (context != nullptr && error != nullptr && error->level == XML_ERR_FATAL) {
    auto& errors = *static_cast<FatalErrors*>(context->_private);
    if (errors.count++ == 0) {
      std::string message = error->message != nullptr ? error->message : "";
      while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
        message.pop_back();
      }
      errors.first = {std::move(message), error->line, error->int2};
    }
  }
}

bool IsUtf8CodeSet(const std::string& name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_') folded += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  return folded == "UTF8";
}

std::string_view View(const xmlChar* text) {
  return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : "";
}

// Whether node's qualified name (prefix:local, or local) is exactly name, without building it.
bool HasName(const xmlNode* node, std::string_view name) {
  const std::string_view local = View(node->name);
  const std::string_view prefix = node->ns != nullptr ? View(node->ns->prefix) : "";
  if (prefix.empty()) return local == name;
  return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
         name[prefix.size()] == ':' && name.ends_with(local);
}

}  // namespace

void TTavoXMLParser::DocumentDeleter::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

TTavoXMLParser::TTavoXMLParser() : ansiIsUtf8_(IsUtf8CodeSet(codepage::AnsiCodeSet())) {
  EnsureLibraryInitialised();
}

TTavoXMLParser::~TTavoXMLParser() = default;

bool TTavoXMLParser::LoadXml(std::u16string_view text) {
  Root = nullptr;
  Document.reset();
  failure_ = {};
  const std::string utf8 = codepage::WideToUtf8(text);
  if (utf8.empty()) {
    SetFailure("Document is empty");
    return false;
  }
  if (utf8.size() > static_cast<size_t>(INT_MAX)) {
    SetFailure("Document is larger than 2 GB");
    return false;
  }

  std::unique_ptr<xmlParserCtxt, ContextDeleter> context(
      xmlCreateMemoryParserCtxt(utf8.data(), static_cast<int>(utf8.size())));
  if (context == nullptr || context->sax == nullptr) {
    throw Error("The XML parser could not be created");
  }
  xmlCtxtUseOptions(context.get(), kParseOptions);
  // A host may have turned on libxml2's process-wide defaults for entity substitution,
  // validation or loading the external subset; none of them may reach this parse.
  context->options = kParseOptions;
  context->replaceEntities = 0;
  context->validate = 0;
  context->loadsubset = 0;
  context->sax->externalSubset = nullptr;
  context->sax->serror = RecordError;
  context->sax->error = IgnoreMessage;
  context->sax->warning = IgnoreMessage;
  FatalErrors fatalErrors;
  context->_private = &fatalErrors;

  xmlParseDocument(context.get());
  Document.reset(std::exchange(context->myDoc, nullptr));
  // A limit hit inside libxml2 can leave a truncated document that still looks well-formed.
  if (Document == nullptr || !context->wellFormed || fatalErrors.count > 0) {
    Document.reset();
    failure_ = fatalErrors.count > 0 ? fatalErrors.first : Failure{"Document is not well-formed"};
    return false;
  }
  Root = xmlDocGetRootElement(Document.get());
  expansionLeft_ = kExpansionLimit;
  if (Root == nullptr) SetFailure("Document has no root element");
  return Root != nullptr;
}

XmlNode TTavoXMLParser::SelectChild(XmlNode node, const std::string& name) const {
  if (node == nullptr) return nullptr;
  const std::string utf8 = ansiIsUtf8_ ? name : codepage::AnsiToUtf8(name);
  for (XmlNode child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && HasName(child, utf8)) return child;
  }
  return nullptr;
}

std::string TTavoXMLParser::GetChildText(XmlNode node, const std::string& name) const {
  XmlNode child = SelectChild(node, name);
  return child != nullptr ? NodeText(child) : std::string();
}

std::string TTavoXMLParser::GetAttributeText(XmlNode node, const std::string& name) const {
  return AttributeText(node, ansiIsUtf8_ ? name : codepage::AnsiToUtf8(name));
}

std::string TTavoXMLParser::AttributeText(XmlNode node, std::string_view utf8) const {
  if (node == nullptr || node->type != XML_ELEMENT_NODE) return {};
  for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    auto* attributeNode = reinterpret_cast<XmlNode>(attribute);
    if (HasName(attributeNode, utf8)) return NodeText(attributeNode);
  }
  // Namespace declarations are attributes of the element as well.
  for (xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next) {
    if (DeclarationName(ns) == utf8) {
      if (IsExpanded(node)) Charge(kNodeCost);
      return ToAnsi(View(ns->href));
    }
  }
  return {};
}

std::u16string TTavoXMLParser::NodeName(XmlNode node) {
  return codepage::Utf8ToWide(Utf8Name(node));
}

std::string TTavoXMLParser::NodeText(XmlNode node) const {
  if (node == nullptr) return {};
  const bool expanded = IsExpanded(node);
  std::string utf8;
  switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      if (expanded) Charge(kNodeCost + View(node->content).size());
      utf8 = View(node->content);
      break;
    default:
      AppendText(node, utf8, expanded, 0);
      break;
  }
  // libxml2 holds a text to 10 MB, but enforces it only on some input shapes; the same limit
  // here makes every document with a larger text fail alike, never one cut short.
  if (utf8.size() > XML_MAX_TEXT_LENGTH) throw Error("An XML text is longer than 10 MB");
  if (!ansiIsUtf8_) return codepage::Utf8ToAnsi(utf8);
  return utf8;
}

XmlNode TTavoXMLParser::FirstChild(XmlNode node) {
  if (node == nullptr) return nullptr;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
      return node->children;
    case XML_ENTITY_REF_NODE: {
      // The reference points at the entity's declaration, which holds the replacement.
      XmlNode declaration = node->children;
      return declaration != nullptr && declaration->type == XML_ENTITY_DECL ? declaration->children
                                                                            : nullptr;
    }
    default:
      return nullptr;
  }
}

XmlNode TTavoXMLParser::NextSibling(XmlNode node) { return node != nullptr ? node->next : nullptr; }

std::string TTavoXMLParser::Utf8Name(XmlNode node) {
  if (node == nullptr) return {};
  switch (node->type) {
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_DOCUMENT_NODE:
      return "#document";
    case XML_DOCUMENT_FRAG_NODE:
      return "#document-fragment";
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      if (node->ns != nullptr && node->ns->prefix != nullptr) {
        std::string name(View(node->ns->prefix));
        name += ':';
        name += View(node->name);
        return name;
      }
      return std::string(View(node->name));
    default:  // processing instructions (their target), entity references, ...
      return std::string(View(node->name));
  }
}

int32_t TTavoXMLParser::LineOf(XmlNode node) {
  if (node == nullptr) return 0;
  const long line = xmlGetLineNo(node);
  return line > 0 && line <= INT32_MAX ? static_cast<int32_t>(line) : 0;
}

std::string TTavoXMLParser::AnsiName(XmlNode node) const { return ToAnsi(Utf8Name(node)); }

std::string TTavoXMLParser::ToAnsi(std::string_view utf8) const {
  return ansiIsUtf8_ ? std::string(utf8) : codepage::Utf8ToAnsi(utf8);
}

std::string TTavoXMLParser::DeclarationName(const _xmlNs* ns) {
  std::string name = "xmlns";
  if (ns->prefix != nullptr) {
    name += ':';
    name += View(ns->prefix);
  }
  return name;
}

// Content reached through an entity reference hangs below the entity's declaration.
bool TTavoXMLParser::IsExpanded(XmlNode node) {
  for (; node != nullptr; node = node->parent) {
    if (node->type == XML_ENTITY_DECL) return true;
  }
  return false;
}

void TTavoXMLParser::Charge(size_t units) const {
  if (units > expansionLeft_) throw Error("The XML text expands beyond the size it may reach");
  expansionLeft_ -= units;
}

// The character data of text and CDATA nodes below node, in document order; comments and
// processing instructions hold none.
void TTavoXMLParser::AppendText(XmlNode node, std::string& utf8, bool expanded, int depth) const {
  if (depth > kMaxDepth) throw Error("The XML text is nested too deeply");
  const bool childrenExpanded = expanded || node->type == XML_ENTITY_REF_NODE;
  for (XmlNode child = FirstChild(node); child != nullptr; child = child->next) {
    if (childrenExpanded) Charge(kNodeCost);
    switch (child->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE: {
        const std::string_view content = View(child->content);
        if (childrenExpanded) Charge(content.size());
        utf8 += content;
        break;
      }
      case XML_ELEMENT_NODE:
      case XML_ENTITY_REF_NODE:
        AppendText(child, utf8, childrenExpanded, depth + 1);
        break;
      default:
        break;
    }
  }
}

}  // namespace tavo
