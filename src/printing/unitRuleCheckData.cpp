// The rule checker's pass over the data document: where the record and the rows are read,
// which field each element receives, and where the rows land on the page.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "platform/codepage/CodePage.h"
#include "platform/core/AsciiText.h"
#include "printing/unitFormTypes.h"
#include "printing/unitRuleCheckContext.h"
#include "printing/unitRuleCheckKeys.h"
#include "printing/unitValueSyntax.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace tavo {
namespace {

using Severity = TFindingSeverity;

// The line height the surface gives a font of that size, in rule pixels, as a reasonable font
// has it (1.2 em); what a row's text takes is known only when it is drawn, so row positions
// below are estimates.
int64_t EstimatedLineHeight(const TItem& element, int32_t dpiy) {
  int32_t points = ReadInteger(element.GetAttribute("fontSize"), 0);
  if (points <= 0) points = 9;
  return std::max<int64_t>(1, std::llround(points * 1.2 * dpiy / 72.0));
}

class DataChecker {
 public:
  DataChecker(TRuleCheckContext& context, const TItem& root, const TItem& dataItem)
      : context_(context), root_(root), dataItem_(dataItem) {}

  void Run() {
    CheckFields();
    CheckRows();
    CheckShallowRecord();
    CheckUnreachedElements();
  }

 private:
  std::string PathOf(const std::vector<const TItem*>& items, const std::string& last) const {
    std::string path;
    for (const TItem* item : items) path += item->Name + "/";
    return path + last;
  }

  // Rows that continue are numbered from 0 again on every page of the form's row slots.
  const TItem* Bind(const std::string& name, int32_t row) const {
    if (context_.rowsPerPage > 0 && row > 0) row %= context_.rowsPerPage;
    return context_.index->Find(name, row, context_.automaticRows);
  }

  void Draw(const TItem& element, const TItemProperty& field, int32_t row,
            const std::string& path) {
    reached_.insert(&element);
    const TFindingPlace place{"data", field.SourceLine, path, field.Name};
    const size_t before = context_.result.draws.size();
    const std::string type = element.GetAttribute("type");
    if (type == "barcode") return;  // a symbol, not planned; it takes no part in row layout
    if (type == "image") {
      context_.PlanImage(element, field.GetValue(), row, place);
    } else {
      context_.PlanText(element, field.GetValue(), row, place);
      if (row > 0 && context_.automaticRows) CheckRowAlignment(element);
    }
    if (row >= 0 && context_.result.draws.size() > before) PlaceRowDraw(element, field, row, path);
  }

  // Automatic rows move only each row's top: text not at the top of its box sits lower in a
  // box that shrinks row by row, so the rows crowd together instead of lying the row space
  // apart.
  void CheckRowAlignment(const TItem& element) {
    const std::string vertAlign = element.GetAttribute("vertAlign");
    if (TextToAlign(vertAlign) == otaTop || !unalignedRows_.insert(&element).second) return;
    context_.Add(
        Severity::Warning, element.SourceLine, TRuleCheckContext::PathOf(element), "vertAlign",
        "<" + element.Name + "> with id " + Quote(element.GetAttribute("id")) +
            " draws the rows with " +
            (vertAlign.empty() ? std::string("no vertAlign") : "vertAlign " + Quote(vertAlign)) +
            ": automatic rows move only each row's top, so its text sits lower in a box "
            "that shrinks row by row and the rows pile up instead of lying the row space "
            "apart",
        "set vertAlign=\"otaTop\" on the row's fields");
  }

  // A field no element receives: probably a misspelt id or a missing index.
  void Unbound(const TItemProperty& field, int32_t row, const std::string& path) {
    if (field.Name == "fphm" || reportedFields_.size() >= kMostReports ||
        !reportedFields_.insert(field.Name).second) {
      return;
    }
    if (!idsRead_) {
      for (const TItem* element : ChildItems(*context_.printing)) {
        const std::string id = element->GetAttribute("id");
        if (!id.empty() && firstById_.try_emplace(id, element).second) ids_.push_back(id);
      }
      if (ids_.size() > kMostNames) ids_.clear();
      idsRead_ = true;
    }
    const auto same = firstById_.find(field.Name);
    const TItem* sameId = same == firstById_.end() ? nullptr : same->second;
    const std::vector<std::string>& ids = ids_;
    const std::string what = row < 0
                                 ? "field " + Quote(field.Name)
                                 : "field " + Quote(field.Name) + " of row " + std::to_string(row);
    if (sameId) {
      context_.Add(Severity::Warning, field.SourceLine, path, field.Name,
                   what + " is not drawn: no element with id " + Quote(field.Name) + " has index " +
                       Quote(std::to_string(std::max(row, 0))),
                   "the element at line " + std::to_string(sameId->SourceLine) + " has index " +
                       Quote(sameId->GetAttribute("index")) +
                       "; give each row its elements, or set repeatableRowAutoHeightAndTop",
                   "data");
      return;
    }
    if (const std::string closest = ClosestName(field.Name, ids); !closest.empty()) {
      context_.Add(Severity::Warning, field.SourceLine, path, field.Name,
                   what + " is not drawn: no element has id " + Quote(field.Name) +
                       " (ids compare with letter case)",
                   "did you mean id " + Quote(closest) + "?", "data");
      return;
    }
    context_.Add(Severity::Note, field.SourceLine, path, field.Name,
                 what + " is not drawn: no element has id " + Quote(field.Name), "", "data");
  }

  void CheckFields() {
    for (const TItemProperty* field : ChildProperties(dataItem_)) {
      if (IsBlankText(field->GetValue())) continue;
      const std::string path = PathOf(recordPath(), field->Name);
      if (const TItem* element = Bind(field->Name, 0)) {
        Draw(*element, *field, -1, path);
      } else {
        Unbound(*field, -1, path);
      }
    }
  }

  std::vector<const TItem*> recordPath() const { return {&root_, root_.ItemAt(0), &dataItem_}; }

  // Whether any field of the rows of `rows` would find an element.
  bool RowsBind(const TItem& rows) const {
    int32_t row = 0;
    for (const TItem* rowItem : ChildItems(rows)) {
      for (const TItemProperty* field : ChildProperties(*rowItem)) {
        if (!IsBlankText(field->GetValue()) && Bind(field->Name, row)) return true;
      }
      ++row;
    }
    return false;
  }

  void CheckRows() {
    const std::vector<TItem*> groups = ChildItems(dataItem_);
    if (groups.empty()) return;
    const TItem& rows = *groups.front();
    const bool firstBinds = RowsBind(rows);
    for (size_t i = 1; i < groups.size(); ++i) {
      const bool wouldBind = RowsBind(*groups[i]);
      context_.Add(!firstBinds && wouldBind ? Severity::Warning : Severity::Note,
                   groups[i]->SourceLine, PathOf(recordPath(), groups[i]->Name), "",
                   "<" + groups[i]->Name + "> is not read: the rows are the children of <" +
                       rows.Name + ">, the record's first element that holds elements (line " +
                       std::to_string(rows.SourceLine) + ")",
                   !firstBinds && wouldBind
                       ? "put <" + groups[i]->Name + "> before <" + rows.Name + ">"
                       : "",
                   "data");
    }

    rowBottom_ = 0;
    int32_t row = 0;
    std::vector<int32_t> silentRows;
    int32_t firstSilentLine = 0;
    for (const TItem* rowItem : ChildItems(rows)) {
      rowTop_ = rowBottom_;
      bool hasValue = false;
      bool bound = false;
      const std::string rowPath =
          PathOf({&root_, root_.ItemAt(0), &dataItem_, &rows}, rowItem->Name);
      for (const TItemProperty* field : ChildProperties(*rowItem)) {
        if (IsBlankText(field->GetValue())) continue;
        hasValue = true;
        const std::string path = rowPath + "/" + field->Name;
        if (const TItem* element = Bind(field->Name, row)) {
          bound = true;
          Draw(*element, *field, row, path);
        } else if (context_.automaticRows || row == 0) {
          Unbound(*field, row, path);
        }
      }
      if (hasValue && !bound && !context_.automaticRows) {
        if (silentRows.empty()) firstSilentLine = rowItem->SourceLine;
        silentRows.push_back(row);
      }
      ++row;
    }
    if (!silentRows.empty()) {
      std::string list;
      for (size_t i = 0; i < silentRows.size() && i < 8; ++i) {
        list += (i ? ", " : "") + std::to_string(silentRows[i]);
      }
      if (silentRows.size() > 8) list += ", ...";
      context_.Add(Severity::Warning, firstSilentLine, PathOf(recordPath(), rows.Name), "",
                   std::to_string(silentRows.size()) + " row(s) are not drawn (row " + list +
                       "): rows are indexed and no element has their index",
                   "add elements with index=\"" + std::to_string(silentRows.front()) +
                       "\" and so on, or set repeatableRowAutoHeightAndTop=\"true\" so one "
                       "element serves every row",
                   "data");
    }
  }

  // Where a row's text lands, as DrawTextElement and DrawText move it (in rule pixels, with an
  // estimated text height), and whether it meets a fixed element or leaves the page.
  void PlaceRowDraw(const TItem& element, const TItemProperty& field, int32_t row,
                    const std::string& path) {
    auto integer = [&](const char* key) {
      return int64_t{ReadInteger(element.GetAttribute(key), 0)};
    };
    int64_t left = integer("left"), top = integer("top"), right = integer("right"),
            bottom = integer("bottom");
    const bool isText = element.GetAttribute("type") != "image";
    if (isText) {
      if (row > 0 && rowTop_ > 0 && context_.automaticRows) {
        top = std::llround(context_.rowSpaceMm * context_.dpiy / 25.4) + rowTop_;
      }
      const std::string& value = field.GetValue();
      const int64_t lines = 1 + std::count(value.begin(), value.end(), '\n');
      const int64_t height = lines * EstimatedLineHeight(element, context_.dpiy);
      const TTavoAlign vertAlign = TextToAlign(element.GetAttribute("vertAlign"));
      if (vertAlign == otaTop) {
        bottom = top + height;
      } else if (vertAlign == otaBottom) {
        top = bottom - height;
      } else {
        top -= (top + height - bottom) / 2;
        bottom = top + height;
      }
      rowBottom_ = std::max(rowBottom_, bottom);
    }
    const std::string at = "about " + std::to_string(top) + " to " + std::to_string(bottom);
    if (context_.pageHeight > 0 && !context_.continuingRows &&
        (bottom > context_.pageHeight || right > context_.pageWidth) &&
        leftPage_.insert(&element).second) {
      context_.Add(Severity::Warning, field.SourceLine, path, field.Name,
                   "row " + std::to_string(row) + " of <" + element.Name + "> (line " +
                       std::to_string(element.SourceLine) + ") leaves the page: it stands " + at +
                       " of a page " + std::to_string(context_.pageHeight) +
                       " rule pixels high and " + std::to_string(context_.pageWidth) + " wide",
                   "fewer rows fit on the page; make room below the rows or shorten them", "data");
    }
    if (++placedRowDraws_ > kMostPlacedDraws) return;
    const size_t fixedCount = std::min(context_.fixedBoxes.size(), kMostFixedBoxes);
    for (size_t i = 0; i < fixedCount; ++i) {
      const TRuleBox& fixed = context_.fixedBoxes[i];
      if (fixed.line == element.SourceLine) continue;
      const bool crosses =
          left < fixed.right && fixed.left < right && top < fixed.bottom && fixed.top < bottom;
      if (!crosses || !crossed_.insert({&element, fixed.line}).second) continue;
      context_.Add(Severity::Warning, field.SourceLine, path, field.Name,
                   "row " + std::to_string(row) + " of <" + element.Name + "> (line " +
                       std::to_string(element.SourceLine) + ", " + at + ") runs into <" +
                       fixed.name + "> at line " + std::to_string(fixed.line),
                   "move the fixed element below the last row, or allow fewer rows", "data");
    }
  }

  void CheckShallowRecord() {
    if (!reached_.empty()) return;
    const TItem* wrapper = root_.ItemAt(0);
    for (const TItemProperty* field : ChildProperties(*wrapper)) {
      if (!context_.index->FirstWithId(field->Name)) continue;
      context_.Add(Severity::Warning, field->SourceLine, PathOf({&root_, wrapper}, field->Name),
                   field->Name,
                   "the fields of <" + wrapper->Name +
                       "> are not read: the record is read two levels below the root, here <" +
                       dataItem_.Name + ">, so only the static elements are drawn",
                   "wrap the record in one more element: <" + root_.Name +
                       "><data><record>fields and rows</record></data></" + root_.Name + ">",
                   "data");
      return;
    }
  }

  void CheckUnreachedElements() {
    std::set<std::string> unique;
    std::function<void(const TItem&)> collect = [&](const TItem& item) {
      for (const TItemProperty* field : ChildProperties(item)) unique.insert(field->Name);
    };
    collect(dataItem_);
    if (const TItem* rows = dataItem_.ItemAt(0)) {
      for (const TItem* rowItem : ChildItems(*rows)) collect(*rowItem);
    }
    std::vector<std::string> names;
    if (unique.size() <= kMostNames) names.assign(unique.begin(), unique.end());
    size_t reports = 0;
    for (const TItem* element : ChildItems(*context_.printing)) {
      const std::string id = element->GetAttribute("id");
      if (id.empty() || reached_.count(element)) continue;
      if (++reports > kMostReports) break;
      if (StaticKindOf(element->GetAttribute("type")) != TStaticKind::None) continue;
      const std::string closest = ClosestName(id, names);
      context_.Add(Severity::Warning, element->SourceLine, TRuleCheckContext::PathOf(*element),
                   "id",
                   "<" + element->Name + "> with id " + Quote(id) +
                       " is not drawn: no field of the data reaches it",
                   closest.empty() ? "" : "the data has a field " + Quote(closest));
    }
  }

  // Bounds on the work one hostile document can cause: beyond them the checker tells less.
  static constexpr size_t kMostReports = 100;
  static constexpr size_t kMostNames = 2000;
  static constexpr size_t kMostPlacedDraws = 5000;
  static constexpr size_t kMostFixedBoxes = 500;

  TRuleCheckContext& context_;
  const TItem& root_;
  const TItem& dataItem_;
  std::set<const TItem*> reached_;
  std::set<std::string> reportedFields_;
  std::set<const TItem*> leftPage_;
  std::set<const TItem*> unalignedRows_;
  std::set<std::pair<const TItem*, int32_t>> crossed_;
  int64_t rowBottom_ = 0;
  int64_t rowTop_ = 0;
  bool idsRead_ = false;
  std::map<std::string, const TItem*> firstById_;
  std::vector<std::string> ids_;
  size_t placedRowDraws_ = 0;
};

}  // namespace

void CheckDataDocument(TRuleCheckContext& context, const std::string& dataText) {
  TTavoXMLBeanParser parser;
  const std::unique_ptr<TTavoCommonXmlBean> bean = parser.Parse(codepage::AnsiToWide(dataText));
  if (!bean) {
    const auto& failure = parser.LastFailure();
    context.Add(Severity::Error, failure.line, "", "",
                "the data is not well-formed XML" +
                    (failure.message.empty() ? std::string() : ": " + failure.message) +
                    "; nothing prints",
                "", "data");
    context.result.findings.back().column = failure.column;
    context.result.draws.clear();
    return;
  }
  const TItem* dataItem = DataItemOf(bean.get());
  if (!dataItem) {
    const TItem* root = bean->Item;
    const TItem* wrapper = root ? root->ItemAt(0) : nullptr;
    context.Add(Severity::Error, wrapper ? wrapper->SourceLine : (root ? root->SourceLine : 0),
                root ? root->Name : "", "",
                "the data has no record two element levels below its root: nothing is drawn, "
                "not even the static elements, and a print reports false",
                "nest it as <body><data><record>fields and rows</record></data></body>", "data");
    context.result.draws.clear();
    return;
  }
  const std::vector<TItem*> records = RecordsOf(bean.get());
  if (records.size() > 1) {
    const TItem& second = *records[1];
    context.Add(Severity::Note, second.SourceLine,
                bean->Item->Name + "/" + bean->Item->ItemAt(0)->Name + "/" + second.Name, "",
                "the data holds " + std::to_string(records.size()) +
                    " records: PrintXmlData prints only the first, <" + records[0]->Name +
                    "> at line " + std::to_string(records[0]->SourceLine) + ", and ignores the " +
                    std::to_string(records.size() - 1) + " from <" + second.Name + "> at line " +
                    std::to_string(second.SourceLine) + " on",
                "print every record as its own page with PrintXmlBatch (tavoprint print "
                "--all-records)",
                "data");
  }
  if (!context.composes || context.pageStops || !context.printing) return;
  DataChecker(context, *bean->Item, *dataItem).Run();
}

}  // namespace tavo
