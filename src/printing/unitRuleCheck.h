// The rule checker: what the data printer will do with a rule document (and a data document),
// said before anything prints. Printing never reports a value it ignores or replaces by its
// default; the checker names each one with its element, line and key.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/printer/Printer.h"

namespace tavo {

enum class TFindingSeverity {
  Error,    // the document is unusable, or the page stops
  Warning,  // something is silently ignored or falls back to its default
  Note,     // by design, but often a surprise
};

struct TRuleFinding {
  TFindingSeverity severity = TFindingSeverity::Warning;
  std::string document = "rule";  // "rule" or "data": the document the line is in
  int32_t line = 0;               // 0 when the finding has no line
  int32_t column = 0;             // only for documents that do not parse
  std::string path;               // element names, "printing/name"
  std::string key;                // the attribute or field concerned, if any
  std::string message;            // what the engine will do
  std::string hint;               // how to get what was probably meant
};

// One drawing of an element as the data printer will make it, in drawing order.
struct TPlannedDraw {
  enum class Kind { Line, Rectangle, Image, Text };
  Kind kind = Kind::Text;
  int32_t line = 0;       // the element's line in the rule
  int32_t row = -1;       // the repeatable row; -1 for static elements and the document's fields
  std::string value;      // the text drawn, or the picture text
  bool prefixes = false;  // text drawn unwrapped: "&" marks the next character, not itself
};

struct TRuleCheck {
  std::vector<TRuleFinding> findings;  // rule findings first, in document order, then data
  std::vector<TPlannedDraw> draws;     // with the data; without, the static elements only
};

// A printer's sheet as the checker lays the page on it: millimetres on the paper as the page
// lies, the printable area from the paper's top-left corner.
struct TCheckSheet {
  double widthMm = 0, heightMm = 0;
  double printableLeftMm = 0, printableTopMm = 0, printableRightMm = 0, printableBottomMm = 0;
  bool isPage = false;  // the sheet is made to the rule's page (PDF printer, custom media)
};

// The printer a check is made for: its name as findings give it, whether it is a spooler's
// queue (whose paper is set up in the queue and which takes custom media), and its sheet for a
// page and an orientation.
struct TCheckPrinter {
  std::string name;  // ANSI
  bool queue = true;
  std::function<TCheckSheet(const PageRequest&, Orientation)> sheet;
};

// Texts are ANSI, as the data printer takes them. An empty data text means no data document.
// With a printer, what lies beyond its sheet is found too.
TRuleCheck CheckRule(const std::string& ruleText, const std::string& dataText,
                     const TCheckPrinter* printer = nullptr);

const char* SeverityName(TFindingSeverity severity);
// [{"severity":"warning","document":"rule","line":12,"column":0,"path":"printing/name",
//   "key":"fontSzie","message":"...","hint":"..."}], texts as they are (ANSI).
std::string FindingsToJson(const std::vector<TRuleFinding>& findings);

}  // namespace tavo
