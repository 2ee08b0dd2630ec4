// The rule checker's pass over the rule document: the parse, the `printing` item, the page
// settings, each element's keys and what the static pass draws.
#include <algorithm>
#include <functional>

#include "platform/core/AsciiText.h"
#include "printing/unitFormUtils.h"
#include "printing/unitRuleCheckContext.h"
#include "printing/unitRuleCheckKeys.h"
#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

using Severity = TFindingSeverity;

std::vector<std::string> NamesOf(const std::vector<TKeySpec>& keys) {
  std::vector<std::string> names;
  for (const TKeySpec& key : keys) names.emplace_back(key.name);
  return names;
}

// Where an element named like "printing" stands, when it is not where the engine looks.
std::string PrintingHint(const TRuleDocument& rule) {
  std::string hint;
  std::function<void(const TItem&, int)> walk = [&](const TItem& item, int depth) {
    if (!item.Children || !hint.empty()) return;
    for (const TStringList::Entry& entry : item.Children->entries) {
      if (!hint.empty()) return;
      const auto* child = dynamic_cast<const TItem*>(entry.object);
      const auto* property = dynamic_cast<const TItemProperty*>(entry.object);
      const std::string& name = child ? child->Name : property ? property->Name : entry.text;
      const int32_t line = child ? child->SourceLine : property ? property->SourceLine : 0;
      const std::string at = " at line " + std::to_string(line);
      if (name != "printing" && EqualsIgnoringAsciiCase(name, "printing")) {
        hint = "element names are compared with letter case: <" + name + ">" + at +
               " is not <printing>";
      } else if (name == "printing" && property) {
        hint = "<printing>" + at +
               " has no child element, so it is read as a property: give it its elements";
      } else if (name == "printing" && child) {
        hint = "<printing>" + at +
               " stands too deep: it must be a child of the body, or of the body's first element";
      }
      if (child && depth < 64) walk(*child, depth + 1);
    }
  };
  if (rule.bean && rule.bean->Item) walk(*rule.bean->Item, 0);
  return hint;
}

// Unknown names, duplicates and values that do not read, for the `printing` element or one
// element; `other` are the keys that belong to the other kind of node.
void CheckKeys(TRuleCheckContext& context, const TItem& node, const std::string& path,
               const std::vector<TKeySpec>& keys, const std::vector<TKeySpec>& other,
               const char* otherPlace) {
  std::vector<std::string> seen;
  for (const auto& [name, value] : AttributesOf(node)) {
    const TKeySpec* key = FindKey(keys, name);
    if (!key) {
      if (name.starts_with("xmlns")) continue;
      std::string hint;
      if (const TKeySpec* elsewhere = FindKey(other, name)) {
        hint = std::string(elsewhere->name) + " is read only on " + otherPlace;
      } else if (std::string closest = ClosestName(name, NamesOf(keys)); !closest.empty()) {
        hint = "did you mean " + closest + "?";
      }
      context.Add(Severity::Warning, node.SourceLine, path, name,
                  Quote(name) + " is no key the engine reads: it is ignored", hint);
      continue;
    }
    const bool repeated = std::any_of(seen.begin(), seen.end(), [&](const std::string& s) {
      return EqualsIgnoringAsciiCase(s, key->name);
    });
    if (repeated) {
      context.Add(Severity::Warning, node.SourceLine, path, name,
                  Quote(name) +
                      " is ignored: an earlier attribute of the same name (letter "
                      "case ignored) is the one read");
      continue;
    }
    seen.emplace_back(key->name);
    if (key->type == TKeyType::StrictColor || ValueReads(key->type, value)) continue;
    if (key->type == TKeyType::Integer && value.empty()) continue;
    context.Add(Severity::Warning, node.SourceLine, path, name,
                std::string(key->name) + " " + Quote(value) +
                    " does not read as a value of its kind: the engine uses " +
                    std::string(key->fallback),
                SuggestValue(key->type, value));
  }
}

void ReadPage(TRuleCheckContext& context) {
  const TItem& printing = *context.printing;
  const std::string path = "printing";
  CheckKeys(context, printing, path, PageKeys(), ElementKeys(), "an element");

  context.automaticRows =
      ReadBoolean(printing.GetAttribute("repeatableRowAutoHeightAndTop"), false);
  context.rowSpaceMm = ReadReal(printing.GetAttribute("repeatableRowSpace"), 0.0);
  context.rowsPerPage = std::max(ReadInteger(printing.GetAttribute("repeatableRowsPerPage"), 0), 0);
  const int32_t rowBottom = ReadInteger(printing.GetAttribute("repeatableRowBottom"), 0);
  context.continuingRows = context.rowsPerPage > 0 || (context.automaticRows && rowBottom > 0);
  if (rowBottom > 0 && !context.automaticRows) {
    context.Add(Severity::Warning, printing.SourceLine, path, "repeatableRowBottom",
                "repeatableRowBottom is ignored: it is the lowest place the text of automatic rows "
                "may reach, and rows are indexed (repeatableRowAutoHeightAndTop is off)",
                "give repeatableRowsPerPage, the number of row slots of the form");
  }
  context.dpix = ReadInteger(printing.GetAttribute("dpix"), 96);
  context.dpiy = ReadInteger(printing.GetAttribute("dpiy"), 96);
  for (const auto& [key, dpi] :
       {std::pair{"dpix", context.dpix}, std::pair{"dpiy", context.dpiy}}) {
    if (dpi != 0) continue;
    context.Add(Severity::Error, printing.SourceLine, path, key,
                std::string(key) +
                    " is 0: the page size divides by zero, the rule fails with \"Floating point "
                    "division by zero\" and nothing is drawn",
                "give the resolution the coordinates are written in, such as 96");
    context.composes = false;
  }
  if (!context.composes) return;

  auto pageSize = [&](const char* pixels, const char* millimetres, int32_t dpi) -> int64_t {
    const int32_t size = ReadInteger(printing.GetAttribute(pixels), 0);
    if (size != 0) return size;
    return static_cast<int64_t>(ReadReal(printing.GetAttribute(millimetres), 0.0) * dpi / 25.4);
  };
  context.pageWidth = pageSize("width", "pageWidth", context.dpix);
  context.pageHeight = pageSize("height", "pageHeight", context.dpiy);
  if (context.pageWidth <= 0 || context.pageHeight <= 0) {
    context.Add(Severity::Note, printing.SourceLine, path, "pageWidth",
                "no page size: an absent pageWidth or pageHeight is 0 mm, not A4",
                "give pageWidth and pageHeight in millimetres");
  }
}

const std::vector<std::string> kTypes = {"line", "rectangle", "image", "text", "barcode"};

void CheckElement(TRuleCheckContext& context, const TItem& element) {
  const std::string path = TRuleCheckContext::PathOf(element);
  CheckKeys(context, element, path, ElementKeys(), PageKeys(), "<printing>");
  const int32_t line = element.SourceLine;
  const std::string type = element.GetAttribute("type");
  const std::string id = element.GetAttribute("id");
  const std::string index = element.GetAttribute("index");

  if (StaticKindOf(type) == TStaticKind::None) {
    const std::string closest = ClosestName(type, kTypes);
    const bool caseOnly = !closest.empty() && EqualsIgnoringAsciiCase(closest, type);
    if (caseOnly || id.empty()) {
      context.Add(Severity::Warning, line, path, "type",
                  (type.empty() ? std::string("no type") : "type " + Quote(type)) +
                      (caseOnly ? " is not " + Quote(closest) + " (letter case counts)" : "") +
                      (id.empty() ? ": it draws nothing by itself and no id binds data to it, so "
                                    "it is never drawn"
                                  : ": it is drawn only when a data field binds to it"),
                  closest.empty() ? "give it type line, rectangle, image, text or barcode, or an id"
                                  : "did you mean " + closest + "?");
    }
  }
  if (id.empty()) return;

  if (context.automaticRows) {
    if (!index.empty() && context.ignoredIndexes++ == 0) context.firstIgnoredIndex = &element;
  } else if (index.empty()) {
    context.Add(Severity::Warning, line, path, "index",
                "no index while rows are indexed (repeatableRowAutoHeightAndTop is off): no data "
                "field is ever bound to this element",
                "add index=\"0\" for the document's field or the first row");
    return;
  } else if (int32_t row = 0; !TryReadInteger(index, row) || std::to_string(row) != index) {
    context.Add(Severity::Warning, line, path, "index",
                "index " + Quote(index) +
                    " matches no row: it is compared with the row number written in decimal",
                row >= 0 && TryReadInteger(index, row)
                    ? "write index=\"" + std::to_string(row) + "\""
                    : "write the row number, 0 for the first");
    return;
  }
  const TItem* first = context.automaticRows ? context.index->FirstWithId(id)
                                             : context.index->FirstWithIdAndIndex(id, index);
  if (first && first != &element) {
    context.Add(Severity::Warning, line, path, "id",
                "no data field is bound to this element: the element with the same id" +
                    std::string(context.automaticRows ? "" : " and index") + " at line " +
                    std::to_string(first->SourceLine) + " comes first",
                "give each element its own id");
  }
}

TRuleBox BoxOf(const TItem& element) {
  auto integer = [&](const char* key) {
    return int64_t{ReadInteger(element.GetAttribute(key), 0)};
  };
  TRuleBox box{integer("left"),   integer("top"),     integer("right"),
               integer("bottom"), element.SourceLine, element.Name};
  return box;
}

// The static pass as ComposePage runs it.
void PlanStaticPass(TRuleCheckContext& context) {
  for (const TItem* element : ChildItems(*context.printing)) {
    const std::string path = TRuleCheckContext::PathOf(*element);
    const TFindingPlace place{"rule", element->SourceLine, path, "text"};
    const TStaticKind kind = StaticKindOf(element->GetAttribute("type"));
    if (kind == TStaticKind::Line || kind == TStaticKind::Rectangle) {
      const std::string color = element->GetAttribute("color");
      if (!ValueReads(TKeyType::StrictColor, color)) {
        context.Add(
            Severity::Error, element->SourceLine, path, "color",
            (color.empty() ? std::string("no color") : "color " + Quote(color) + " is no colour") +
                ": the page stops here with \"'" + color +
                "' is not a valid integer value\"; this element and all after it are not "
                "drawn, a print reports false and a preview fails",
            SuggestValue(TKeyType::StrictColor, color));
        context.pageStops = true;
        return;
      }
    }
    switch (kind) {
      case TStaticKind::Line: {
        auto integer = [&](const char* key) {
          return int64_t{ReadInteger(element->GetAttribute(key), 0)};
        };
        const int64_t x1 = integer("fromx"), y1 = integer("fromy");
        const int64_t x2 = integer("tox"), y2 = integer("toy");
        context.result.draws.push_back({TPlannedDraw::Kind::Line, element->SourceLine, -1, ""});
        context.fixedBoxes.push_back({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1,
                                      std::max(y1, y2) + 1, element->SourceLine, element->Name});
        break;
      }
      case TStaticKind::Rectangle:
        context.result.draws.push_back(
            {TPlannedDraw::Kind::Rectangle, element->SourceLine, -1, ""});
        break;
      case TStaticKind::Image: {
        const size_t before = context.result.draws.size();
        context.PlanImage(*element, element->GetPropertyValue("text", false), -1, place);
        if (context.result.draws.size() > before) context.fixedBoxes.push_back(BoxOf(*element));
        break;
      }
      case TStaticKind::Text: {
        const size_t before = context.result.draws.size();
        context.PlanText(*element, "", -1, place);
        if (context.result.draws.size() > before) {
          context.fixedBoxes.push_back(BoxOf(*element));
        } else if (element->GetAttribute("id").empty()) {
          bool caseVariant = false;
          for (const TItemProperty* property : ChildProperties(*element)) {
            caseVariant |=
                property->Name != "text" && EqualsIgnoringAsciiCase(property->Name, "text");
          }
          context.Add(Severity::Warning, element->SourceLine, path, "text",
                      "a text element whose text is empty draws nothing",
                      caseVariant ? "the property is named \"text\" (letter case counts)"
                                  : "give it a child <text>...</text>");
        }
        break;
      }
      case TStaticKind::Barcode:
        // Its modules depend on the symbol; the checker plans no drawings for them, but rows
        // must keep clear of its box.
        context.fixedBoxes.push_back(BoxOf(*element));
        break;
      case TStaticKind::None:
        break;
    }
  }
}

}  // namespace

void CheckRuleDocument(TRuleCheckContext& context, const std::string& ruleText) {
  context.rule = ReadRuleDocument(ruleText);
  TRuleDocument& rule = context.rule;
  if (!rule.bean) {
    const auto& failure = rule.parseFailure;
    context.Add(Severity::Error, failure.line, "", "",
                "the rule is not well-formed XML" +
                    (failure.message.empty() ? std::string() : ": " + failure.message) +
                    "; nothing prints",
                "");
    context.result.findings.back().column = failure.column;
    return;
  }
  std::string hint = PrintingHint(rule);
  if (!rule.hasBody) {
    context.Add(Severity::Error, rule.bean->Item ? rule.bean->Item->SourceLine : 0, "", "",
                "the rule has no <body> under its document element: nothing prints",
                hint.empty() ? "put <printing> in <body>" : hint);
    return;
  }
  if (!rule.printing) {
    context.Add(Severity::Error, rule.bean->Item ? rule.bean->Item->SourceLine : 0, "body", "",
                "the rule has no <printing> element with elements: nothing is drawn and a print "
                "reports false",
                hint.empty() ? "put <printing> with its elements in <body>" : hint);
    return;
  }
  context.printing = rule.printing;
  context.composes = true;
  ReadPage(context);
  context.index = std::make_unique<TElementIndex>(*context.printing);

  for (const TStringList::Entry& entry : context.printing->Children->entries) {
    if (const auto* element = dynamic_cast<const TItem*>(entry.object)) {
      CheckElement(context, *element);
    } else if (const auto* property = dynamic_cast<const TItemProperty*>(entry.object)) {
      context.Add(Severity::Warning, property->SourceLine, "printing/" + property->Name, "",
                  "<" + property->Name +
                      "> has no child element, so it is read as a property of <printing>, not "
                      "as an element: it is never drawn",
                  "give it a child element, such as <text>...</text>; a line or rectangle "
                  "needs one as well");
    }
  }
  if (const TItem* first = context.firstIgnoredIndex) {
    context.Add(Severity::Note, first->SourceLine, TRuleCheckContext::PathOf(*first), "index",
                "index is not looked at while repeatableRowAutoHeightAndTop is on: each element "
                "serves the document's field and every row (" +
                    std::to_string(context.ignoredIndexes) + " element(s) give an index)");
  }
  if (context.composes) PlanStaticPass(context);
}

}  // namespace tavo
