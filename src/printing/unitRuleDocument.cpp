#include "printing/unitRuleDocument.h"

#include "platform/codepage/CodePage.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace tavo {

TRuleDocument ReadRuleDocument(const std::string& ruleText) {
  TRuleDocument document;
  TTavoXMLBeanParser parser;
  document.bean = parser.Parse(codepage::AnsiToWide(ruleText));
  if (!document.bean) {
    document.parseFailure = parser.LastFailure();
    const auto& failure = document.parseFailure;
    document.unusableReason = "not well-formed";
    if (failure.line > 0) {
      document.unusableReason +=
          " at line " + std::to_string(failure.line) + " column " + std::to_string(failure.column);
    }
    if (!failure.message.empty()) document.unusableReason += ": " + failure.message;
    return document;
  }
  document.hasBody = parser.SelectChild(parser.Root, "body") != nullptr;
  TItem* root = document.bean->Item;
  if (root == nullptr || root->ItemCount() == 0) {
    document.unusableReason = document.hasBody ? "no printing item" : "no body";
    return document;
  }

  // The `printing` item stands under the root item or under the root's first child item; the
  // first one found is the rule.
  if (TItem* printing = root->FindItem("printing")) {
    document.printingParent = root;
    document.printing = printing;
  } else if (TItem* first = root->ItemAt(0)) {
    if (TItem* nested = first->FindItem("printing")) {
      document.printingParent = first;
      document.printing = nested;
    }
  }
  return document;
}

}  // namespace tavo
