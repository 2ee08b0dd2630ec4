// ITavoRuleCheck: the rule checker's findings for hosts, as JSON text.
#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "control/ThePrinter.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/PrinterSheet.h"
#include "platform/printer/system/SystemPrinter.h"
#include "printing/unitRuleCheck.h"

namespace tavo {
namespace {

TCheckSheet CheckSheetOf(const JobSheet& job, bool isPage) {
  const PdfGeometry& g = job.geometry;
  TCheckSheet sheet;
  sheet.widthMm = g.widthMm;
  sheet.heightMm = g.heightMm;
  sheet.printableLeftMm = g.originXMm;
  sheet.printableTopMm = g.originYMm;
  sheet.printableRightMm = g.originXMm + g.printableWidthMm;
  sheet.printableBottomMm = g.originYMm + g.printableHeightMm;
  sheet.isPage = isPage;
  return sheet;
}

// The checker's view of a printer: its paper is asked once, the sheets follow from it as a
// job's would.
TCheckPrinter CheckPrinterOf(const std::string& ansiPrinter) {
  const bool pdf = ansiPrinter.starts_with(kPdfPrinterPrefix);
  const CupsPaper paper = PaperOfPrinter(ansiPrinter);
  TCheckPrinter printer;
  printer.name = pdf ? "the PDF printer" : ansiPrinter;
  printer.queue = !pdf;
  printer.sheet = [ansiPrinter, pdf, paper](const PageRequest& page, Orientation orientation) {
    const JobSheet sheet = SheetOfPrinter(ansiPrinter, paper, page, orientation);
    // The sheet is the page on the PDF printer when the rule gives one, and on custom media.
    return CheckSheetOf(sheet, pdf ? page.Given() : !sheet.media.empty());
  };
  return printer;
}

}  // namespace

HRESULT TTavoPreFmtPrinter::CheckRule(BSTR XmlRule, BSTR XmlData, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoRuleCheck, [&] {
    // The same ANSI texts the print methods hand the engine, so the check reads what prints.
    const std::string rule = codepage::WideToAnsi(BstrView(XmlRule));
    const std::string data = codepage::WideToAnsi(BstrView(XmlData));
    const TRuleCheck check = tavo::CheckRule(rule, data);
    *Value = Bstr(codepage::AnsiToWide(FindingsToJson(check.findings))).Detach();
  });
}

// Only reads the printer's paper, as RenderPrintPage does: nothing is selected or opened.
HRESULT TTavoPreFmtPrinter::CheckRuleForPrinter(BSTR XmlRule, BSTR XmlData, BSTR Printer,
                                                BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoRuleCheck, [&] {
    std::string name = codepage::WideToAnsi(BstrView(Printer));
    if (name.empty()) name = ThePrinter().SelectedName();
    if (name.empty()) throw Error(kNoDefaultPrinter);
    const TCheckPrinter printer = CheckPrinterOf(name);
    const std::string rule = codepage::WideToAnsi(BstrView(XmlRule));
    const std::string data = codepage::WideToAnsi(BstrView(XmlData));
    const TRuleCheck check = tavo::CheckRule(rule, data, &printer);
    *Value = Bstr(codepage::AnsiToWide(FindingsToJson(check.findings))).Detach();
  });
}

}  // namespace tavo
