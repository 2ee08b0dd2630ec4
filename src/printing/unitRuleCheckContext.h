// What the rule checker's passes share: the parsed rule, the findings so far and the drawings
// the page will hold.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "printing/unitCommonPrintingTree.h"
#include "printing/unitRuleCheck.h"
#include "printing/unitRuleDocument.h"

namespace tavo {

// A value as findings quote it. (Built by appending: GCC 12 at -O3 warns falsely about a
// concatenation of a literal and a string here.)
inline std::string Quote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

// An element's box or a line's extent in rule pixels.
struct TRuleBox {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t line = 0;  // the element's line
  std::string name;
};

// Where a finding about a value belongs.
struct TFindingPlace {
  std::string document;
  int32_t line = 0;
  std::string path;
  std::string key;
};

class TRuleCheckContext {
 public:
  TRuleCheck result;
  TRuleDocument rule;
  const TItem* printing = nullptr;  // none when the rule holds no `printing` item
  bool composes = false;            // the data printer can compose a page with this rule
  bool pageStops = false;           // a strict colour stops the static pass
  bool automaticRows = false;
  bool continuingRows = false;  // rows that do not fit continue on further pages
  int32_t rowsPerPage = 0;      // the form's row slots when the rule gives them
  int32_t dpix = 96;
  int32_t dpiy = 96;
  double rowSpaceMm = 0;
  int64_t pageWidth = 0;  // rule pixels; 0 when the rule gives no page size
  int64_t pageHeight = 0;
  std::unique_ptr<TElementIndex> index;
  std::vector<TRuleBox> fixedBoxes;
  int32_t ignoredIndexes = 0;                // elements whose "index" automatic rows do not look at
  const TItem* firstIgnoredIndex = nullptr;  // what the static pass draws, to test rows against

  void Add(TFindingSeverity severity, int32_t line, std::string path, std::string key,
           std::string message, std::string hint = {}, std::string document = "rule");
  static std::string PathOf(const TItem& element) { return "printing/" + element.Name; }

  // What drawing the element with the value does, as DrawTextElement and DrawImageElement
  // decide it; findings about the value go to `place`.
  void PlanText(const TItem& element, const std::string& value, int32_t row,
                const TFindingPlace& place);
  void PlanImage(const TItem& element, const std::string& source, int32_t row,
                 const TFindingPlace& place);
};

void CheckRuleDocument(TRuleCheckContext& context, const std::string& ruleText);
void CheckSheet(TRuleCheckContext& context, const TCheckPrinter& printer);
void CheckDataDocument(TRuleCheckContext& context, const std::string& dataText);

}  // namespace tavo
