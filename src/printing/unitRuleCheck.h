// The rule checker: what the data printer will do with a rule document (and a data document),
// said before anything prints. Printing never reports a value it ignores or replaces by its
// default; the checker names each one with its element, line and key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Texts are ANSI, as the data printer takes them. An empty data text means no data document.
TRuleCheck CheckRule(const std::string& ruleText, const std::string& dataText);

const char* SeverityName(TFindingSeverity severity);
// [{"severity":"warning","document":"rule","line":12,"column":0,"path":"printing/name",
//   "key":"fontSzie","message":"...","hint":"..."}], texts as they are (ANSI).
std::string FindingsToJson(const std::vector<TRuleFinding>& findings);

}  // namespace tavo
