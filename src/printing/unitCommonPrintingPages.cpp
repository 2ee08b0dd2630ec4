// Rows that continue on the next page: how a record's rows are spread over pages, and drawing
// those pages in one print job.
#include <algorithm>

#include "platform/canvas/MeasuringDevice.h"
#include "platform/printer/Printer.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingTree.h"

namespace tavo {
namespace {

std::vector<TItem*> RowsOf(const TItem& dataItem) {
  const TItem* rows = dataItem.ItemAt(0);
  return rows ? ChildItems(*rows) : std::vector<TItem*>{};
}

}  // namespace

// Indexed rows continue when the rule says how many row slots the form has; automatic rows also
// when it says how low their text may reach.
bool TTavoXmlDataPrinter::ContinuesRows() const {
  const TTavoPrinterSetting& page = Settings();
  return page.repeatableRowsPerPage > 0 ||
         (page.repeatableRowAutoHeightAndTop && page.repeatableRowBottom > 0);
}

int32_t TTavoXmlDataPrinter::MeasurePage(TItem* dataItem, const TPageRows& page, int32_t bottom,
                                         const std::vector<TItem*>& rowItems) {
  Canvas measuring(std::make_unique<MeasuringDevice>(DrawingCanvas().Device()));
  struct CanvasScope {
    Canvas*& slot;
    Canvas* kept;
    ~CanvasScope() { slot = kept; }
  } scope{canvas, canvas};
  canvas = &measuring;
  return ComposeRecordPage(ruleItem.get(), dataItem, page, bottom, &rowItems);
}

std::vector<TPageRows> TTavoXmlDataPrinter::PlanPages(TItem* dataItem, bool composeEveryPage) {
  std::vector<TPageRows> pages;
  const std::vector<TItem*> rowItems = RowsOf(*dataItem);
  if (!ContinuesRows()) {
    pages.push_back(TPageRows{});
    if (composeEveryPage) MeasurePage(dataItem, pages.front(), INT32_MAX, rowItems);
    return pages;
  }
  const TTavoPrinterSetting& settings = Settings();
  const int32_t rows = static_cast<int32_t>(std::min<size_t>(rowItems.size(), INT32_MAX));
  const int32_t perPage =
      settings.repeatableRowsPerPage > 0 ? settings.repeatableRowsPerPage : INT32_MAX;
  // Only automatic rows take room that depends on their text; indexed rows have their slots.
  const bool measured = settings.repeatableRowAutoHeightAndTop && settings.repeatableRowBottom > 0;
  const int32_t bottom = measured ? RuleToDeviceY(settings.repeatableRowBottom) : INT32_MAX;
  int32_t first = 0;
  do {
    TPageRows page{first, perPage, static_cast<int32_t>(pages.size()) + 1, 0};
    int32_t held = std::min(perPage, rows - first);
    if (measured || composeEveryPage) held = MeasurePage(dataItem, page, bottom, rowItems);
    page.rowCount = held;
    pages.push_back(page);
    // A page holds at least the one row it begins with, so every page moves on.
    first += std::max(held, 1);
  } while (first < rows);
  for (TPageRows& page : pages) page.pageCount = static_cast<int32_t>(pages.size());
  return pages;
}

void TTavoXmlDataPrinter::DrawPages(Printer& printer, TItem* dataItem,
                                    const std::vector<TPageRows>& pages, bool& pageBlank) {
  const std::vector<TItem*> rowItems = RowsOf(*dataItem);
  for (const TPageRows& page : pages) {
    if (!pageBlank) printer.NewPage();
    pageBlank = false;
    canvas = &printer.GetCanvas();
    ComposeRecordPage(ruleItem.get(), dataItem, page, INT32_MAX, &rowItems);
  }
}

}  // namespace tavo
