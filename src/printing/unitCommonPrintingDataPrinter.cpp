// The data printer's construction: reading the rule document and its page settings.
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingTree.h"
#include "printing/unitRuleDocument.h"
#include "printing/unitValueSyntax.h"

namespace tavo {

TTavoXmlDataPrinter::RuleSource TTavoXmlDataPrinter::ReadRule(const std::string& ruleText) {
  RuleSource source;
  TRuleDocument document = ReadRuleDocument(ruleText);
  source.unusableReason = document.unusableReason;
  // The `printing` item is taken out so that it outlives the bean.
  if (document.printing) {
    source.printingItem = DetachChildItem(*document.printingParent, document.printing);
  }
  return source;
}

TTavoXmlDataPrinter::TTavoXmlDataPrinter(const std::string& ruleText, Canvas* canvas)
    : TTavoXmlDataPrinter(ReadRule(ruleText), canvas) {}

TTavoXmlDataPrinter::TTavoXmlDataPrinter(RuleSource source, Canvas* surface)
    : TTavoXmlDataPrinter(std::move(source.printingItem), surface) {
  // An unusable rule leaves a printer without page settings: asking for them fails.
  if (!source.unusableReason.empty()) {
    settings.reset();
    unusableReason_ = std::move(source.unusableReason);
  }
}

TTavoXmlDataPrinter::TTavoXmlDataPrinter(std::unique_ptr<TItem> printingItem, Canvas* surface) {
  canvas = surface;
  ruleItem = std::move(printingItem);
  if (ruleItem) ReadPageSettings();
}

TTavoXmlDataPrinter::~TTavoXmlDataPrinter() = default;

// The keys in their order of reading. "dpix" and "dpiy" come before "width" and "height", so the
// page size in rule pixels converts at the rule's own resolution, on the canvas's device when a
// canvas was given.
void TTavoXmlDataPrinter::ReadPageSettings() {
  const TItem& rule = *ruleItem;
  TTavoPrinterSetting& page = Settings();
  auto real = [&](const char* key, double fallback) {
    return ReadReal(rule.GetAttribute(key), fallback);
  };
  auto integer = [&](const char* key, int32_t fallback) {
    return ReadInteger(rule.GetAttribute(key), fallback);
  };

  page.pageWidth = real("pageWidth", 0.0);
  page.pageHeight = real("pageHeight", 0.0);
  page.repeatableRowAutoHeightAndTop =
      ReadBoolean(rule.GetAttribute("repeatableRowAutoHeightAndTop"), false);
  page.repeatableRowSpace = real("repeatableRowSpace", 0.0);
  dpix = integer("dpix", dpix);
  dpiy = integer("dpiy", dpiy);
  page.offsetLeft = real("offsetLeft", 0.0);
  page.offsetTop = real("offsetTop", 0.0);
  customOffsetLeft = real("customOffsetLeft", 0.0);
  customOffsetTop = real("customOffsetTop", 0.0);
  page.textPaddingHorz = real("textPaddingHorz", page.textPaddingHorz);
  page.textPaddingVert = real("textPaddingVert", page.textPaddingVert);

  // A pixel size that is absent or rounds to 0 falls back to the size in millimetres.
  pageWidthPx = RuleToDeviceX(integer("width", 0));
  if (pageWidthPx == 0) pageWidthPx = MmToDeviceX(page.pageWidth);
  pageHeightPx = RuleToDeviceY(integer("height", 0));
  if (pageHeightPx == 0) pageHeightPx = MmToDeviceY(page.pageHeight);

  page.landscape = ReadBoolean(rule.GetAttribute("landscape"), false);
  bgImage = rule.GetAttribute("bgImage");
  page.pageAsPaper = ReadBoolean(rule.GetAttribute("pageAsPaper"), false);
  page.repeatableRowsPerPage = integer("repeatableRowsPerPage", 0);
  page.repeatableRowBottom = integer("repeatableRowBottom", 0);
}

PageRequest RequestedPage(const TTavoPrinterSetting& settings) {
  PageRequest page;
  if (settings.pageWidth > 0 && settings.pageHeight > 0) {
    page.widthMm = settings.pageWidth;
    page.heightMm = settings.pageHeight;
  }
  page.asPaper = settings.pageAsPaper;
  return page;
}

double TTavoXmlDataPrinter::OffsetXmm() const { return Settings().offsetLeft + customOffsetLeft; }

double TTavoXmlDataPrinter::OffsetYmm() const { return Settings().offsetTop + customOffsetTop; }

}  // namespace tavo
