// Reading a rule document the way the data printer does: the parse, the `printing` item, and
// why a rule is unusable. The data printer and the rule checker share it, so they cannot
// disagree about which rule is read.
#pragma once

#include <memory>
#include <string>

#include "xmlbean/unitTavoCommonXmlBean.h"
#include "xmlbean/unitTavoCommonXmlParser.h"

namespace tavo {

struct TRuleDocument {
  std::unique_ptr<TTavoCommonXmlBean> bean;  // none when the text does not parse
  TTavoXMLParser::Failure parseFailure;      // why it did not parse
  bool hasBody = false;
  // Why the rule gives no usable page settings ("not well-formed at line 3 column 7: ...",
  // "no body", "no printing item"); empty for a usable rule.
  std::string unusableReason;
  TItem* printingParent = nullptr;  // in the bean's tree; none without `printing` item
  TItem* printing = nullptr;
};

// The rule text is ANSI.
TRuleDocument ReadRuleDocument(const std::string& ruleText);

}  // namespace tavo
