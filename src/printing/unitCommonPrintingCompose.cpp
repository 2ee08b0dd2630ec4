// The print job, the composition of the page and the rendering of each element kind.
#include <algorithm>
#include <exception>

#include "platform/codepage/CodePage.h"
#include "platform/printer/PrintOutcome.h"
#include "platform/printer/Printer.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingMath.h"
#include "printing/unitCommonPrintingOutcome.h"
#include "printing/unitCommonPrintingTree.h"
#include "printing/unitFormUtils.h"
#include "printing/unitValueSyntax.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace tavo {
namespace {

constexpr const char* kNoPrintingElement = "The print rule holds no printing element";
constexpr const char* kNoDataRecord = "The data document holds no record to print";

Rect ReadRuleRect(const TItem& element) {
  return Rect{ReadInteger(element.GetAttribute("left"), 0),
              ReadInteger(element.GetAttribute("top"), 0),
              ReadInteger(element.GetAttribute("right"), 0),
              ReadInteger(element.GetAttribute("bottom"), 0)};
}

}  // namespace

bool TTavoXmlDataPrinter::Print(const std::string& dataText, Canvas* surface) {
  const bool printPath = !surface && !canvas;
  if (!ruleItem) {
    if (printPath) RecordNothingPrinted(kNoPrintingElement);
    return false;
  }
  const std::unique_ptr<TTavoCommonXmlBean> bean =
      TTavoXMLBeanParser::ParseXmlBean(codepage::AnsiToWide(dataText));
  TItem* dataItem = DataItemOf(bean.get());
  if (!dataItem && printPath) RecordNothingPrinted(kNoDataRecord);
  return PrintItem(dataItem, surface);
}

bool TTavoXmlDataPrinter::PrintItem(TItem* dataItem, Canvas* surface) {
  if (!dataItem || !ruleItem) return false;
  if (surface) canvas = surface;

  if (canvas) {
    // Preview: the record's first page; failures reach the caller, which reports them.
    if (ContinuesRows()) {
      const std::vector<TPageRows> pages = PlanPages(dataItem, false);
      pageCount = static_cast<int32_t>(pages.size());
      ComposeRecordPage(ruleItem.get(), dataItem, pages.front(), INT32_MAX);
    } else {
      pageCount = 1;
      ComposePage(ruleItem.get(), dataItem);
    }
    return false;
  }

  // Print: whatever fails, the document is ended, so an opened job is always closed and what
  // was drawn before the failure prints. Failures are not reported to the caller; the first
  // one is kept in the process's print outcome.
  Printer& printer = CurrentPrinter();
  PrintOutcome outcome;
  outcome.printer = SelectedPrinterName();
  outcome.title = JobTitle(*dataItem);
  try {
    printer.SetOrientation(Settings().landscape ? Orientation::Landscape : Orientation::Portrait);
    printer.SetPage(RequestedPage(Settings()));
    printer.SetTitle(outcome.title);
    printer.BeginDoc();
    outcome.begun = true;
    canvas = &printer.GetCanvas();
    if (ContinuesRows()) {
      const std::vector<TPageRows> pages = PlanPages(dataItem, false);
      bool pageBlank = true;
      DrawPages(printer, dataItem, pages, pageBlank);
      pageCount = static_cast<int32_t>(pages.size());
    } else {
      ComposePage(ruleItem.get(), dataItem);
      pageCount = 1;
    }
    outcome.composed = true;
  } catch (const std::exception& failure) {
    outcome.message = failure.what();
  }
  try {
    printer.EndDoc();
    // Without a job of its own the end step closed a job opened by another caller.
    outcome.ended = outcome.begun;
    if (outcome.begun) outcome.job = printer.LastJobId();
  } catch (const std::exception& failure) {
    if (outcome.message.empty()) outcome.message = failure.what();
  }
  // The job's canvas belongs to the printer and ends with the job: a later call prints again
  // instead of drawing on a canvas outside any job.
  canvas = nullptr;
  const bool completed = outcome.Printed();
  RecordPrintOutcome(std::move(outcome));
  return completed;
}

void TTavoXmlDataPrinter::ComposePage(TItem* rule, TItem* dataItem) {
  ComposeRecordPage(rule, dataItem, TPageRows{});
}

int32_t TTavoXmlDataPrinter::ComposeRecordPage(TItem* rule, TItem* dataItem, const TPageRows& page,
                                               int32_t bottom,
                                               const std::vector<TItem*>* rowItems) {
  // Fields find their elements through an index of this rule while the page is composed.
  struct IndexScope {
    std::unique_ptr<TElementIndex>& slot;
    ~IndexScope() { slot.reset(); }
  } indexScope{elementIndex_};
  if (rule) elementIndex_ = std::make_unique<TElementIndex>(*rule);

  // Static pass.
  if (rule) {
    for (TItem* element : ChildItems(*rule)) {
      switch (StaticKindOf(element->GetAttribute("type"))) {
        case TStaticKind::Line:
          DrawLineElement(*element);
          break;
        case TStaticKind::Rectangle:
          DrawRectangleElement(*element);
          break;
        case TStaticKind::Image:
          DrawImageElement(*element, element->GetPropertyValue("text", false));
          break;
        case TStaticKind::Text:
          DrawTextElement(*element, std::string(), -1);
          break;
        case TStaticKind::Barcode:
          DrawBarcodeElement(*element, element->GetPropertyValue("text", false));
          break;
        case TStaticKind::None:
          break;
      }
    }
  }
  if (!dataItem) return 0;

  // Field pass. On a page that has them, the page fields stand for record fields of their ids.
  const bool pageFields = page.pageNumber > 0;
  for (const TItemProperty* field : ChildProperties(*dataItem)) {
    const std::string& value = field->GetValue();
    if (IsBlankText(value)) continue;
    if (pageFields && (field->Name == kPageNumberId || field->Name == kPageCountId)) continue;
    if (const TItem* element = FindElement(rule, field->Name, 0)) {
      DrawBoundField(*element, value, -1);
    }
  }
  if (pageFields) DrawPageFields(rule, page);

  // Row pass: the page's rows, numbered from 0 on every page.
  rowBottom = 0;
  const TItem* rows = dataItem->ItemAt(0);
  if (!rows) return 0;
  const std::vector<TItem*> listed = rowItems ? std::vector<TItem*>{} : ChildItems(*rows);
  const std::vector<TItem*>& all = rowItems ? *rowItems : listed;
  int32_t row = 0;
  for (size_t at = static_cast<size_t>(std::max(page.firstRow, 0)); at < all.size(); ++at) {
    if (row >= page.rowCount) break;
    const TItem* rowItem = all[at];
    rowTop = rowBottom;
    for (const TItemProperty* field : ChildProperties(*rowItem)) {
      const std::string& value = field->GetValue();
      if (IsBlankText(value)) continue;
      if (const TItem* element = FindElement(rule, field->Name, row)) {
        DrawBoundField(*element, value, row);
      }
    }
    // A row reaching below the bottom goes to the next page, unless it is the page's first.
    if (row > 0 && rowBottom > bottom) break;
    ++row;
  }
  return row;
}

void TTavoXmlDataPrinter::DrawPageFields(TItem* rule, const TPageRows& page) {
  const std::pair<const char*, int32_t> fields[] = {{kPageNumberId, page.pageNumber},
                                                    {kPageCountId, page.pageCount}};
  for (const auto& [id, value] : fields) {
    if (const TItem* element = FindElement(rule, id, 0)) {
      DrawBoundField(*element, std::to_string(value), -1);
    }
  }
}

// A bound field draws an "image" element as a picture, a "barcode" element as a symbol and any
// other element as a text box.
void TTavoXmlDataPrinter::DrawBoundField(const TItem& element, const std::string& value,
                                         int32_t row) {
  const std::string type = element.GetAttribute("type");
  if (type == "image") {
    DrawImageElement(element, value);
  } else if (type == "barcode") {
    DrawBarcodeElement(element, value);
  } else {
    DrawTextElement(element, value, row);
  }
}

void TTavoXmlDataPrinter::DrawLineElement(const TItem& element) {
  const int32_t fromX = ReadInteger(element.GetAttribute("fromx"), 0);
  const int32_t fromY = ReadInteger(element.GetAttribute("fromy"), 0);
  const int32_t toX = ReadInteger(element.GetAttribute("tox"), 0);
  const int32_t toY = ReadInteger(element.GetAttribute("toy"), 0);
  const int32_t size = ReadInteger(element.GetAttribute("size"), 0);
  const Color color = StrictTextToColor(element.GetAttribute("color"));
  DrawLine(RuleToDeviceX(fromX), RuleToDeviceY(fromY), RuleToDeviceX(toX), RuleToDeviceY(toY), size,
           color);
}

void TTavoXmlDataPrinter::DrawRectangleElement(const TItem& element) {
  const Rect rect = ReadRuleRect(element);
  const int32_t size = ReadInteger(element.GetAttribute("size"), 0);
  const Color color = StrictTextToColor(element.GetAttribute("color"));
  DrawRectangle(RuleToDeviceRect(rect), size, color);
}

void TTavoXmlDataPrinter::DrawImageElement(const TItem& element, const std::string& source) {
  if (source.empty()) return;
  const Rect rect = ReadRuleRect(element);
  const TTavoAlign horzAlign = TextToAlign(element.GetAttribute("horzAlign"));
  const TTavoAlign vertAlign = TextToAlign(element.GetAttribute("vertAlign"));
  // Only inline picture data is accepted here, never a file name.
  Picture picture;
  LoadBase64Image(source, picture);
  DrawImage(picture, RuleToDeviceRect(rect), horzAlign, vertAlign);
}

void TTavoXmlDataPrinter::DrawTextElement(const TItem& element, const std::string& value,
                                          int32_t row) {
  rowIndex = row;
  const Rect ruleRect = ReadRuleRect(element);
  const std::string fontName = element.GetAttribute("fontName");
  const int32_t fontSize = ReadInteger(element.GetAttribute("fontSize"), 0);
  const Color fontColor = TextToColor(element.GetAttribute("fontColor"), clWindowText);
  const bool wordBreak = ReadBoolean(element.GetAttribute("wordBreak"), true);
  Rect box = RuleToDeviceRect(ruleRect);

  std::string text = value;
  if (text.empty() && element.GetAttribute("type") == "text") {
    text = element.GetPropertyValue("text", false);
  }
  if (text.empty()) return;

  const TTavoAlign horzAlign = TextToAlign(element.GetAttribute("horzAlign"));
  const TTavoAlign vertAlign = TextToAlign(element.GetAttribute("vertAlign"));
  // Automatic row layout: from the second row on, a row's text starts the row space below the
  // lowest text of the rows before it. Only the top moves.
  if (rowIndex > 0 && rowTop > 0 && Settings().repeatableRowAutoHeightAndTop) {
    box.top = ClampToInt32(int64_t{MmToDeviceY(Settings().repeatableRowSpace)} + rowTop);
  }
  DrawText(text, box, horzAlign, vertAlign, fontName, fontSize, fontColor, wordBreak);
}

TItem* TTavoXmlDataPrinter::FindElement(const TItem* rule, const std::string& id,
                                        int32_t index) const {
  if (!rule) return nullptr;
  const bool automaticRows = Settings().repeatableRowAutoHeightAndTop;
  if (elementIndex_ && elementIndex_->Rule() == rule) {
    return elementIndex_->Find(id, index, automaticRows);
  }
  return TElementIndex(*rule).Find(id, index, automaticRows);
}

}  // namespace tavo
