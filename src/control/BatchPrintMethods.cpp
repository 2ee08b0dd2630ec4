// ITavoBatchPrint: runs of records, each record its own page as PrintXmlData would print it
// alone, in one print job or as one PDF file each; the outcome as JSON text.
#include <filesystem>
#include <string>
#include <system_error>

#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "control/ThePrinter.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/core/JsonText.h"
#include "platform/printer/system/SystemPrinter.h"
#include "printing/unitCommonPrintingBatch.h"

namespace tavo {
namespace {

constexpr std::string_view kRecordPlaceholder = "{record}";

std::string Ansi(BSTR text) { return codepage::WideToAnsi(BstrView(text)); }

std::u16string Number(int value) { return codepage::Utf8ToWide(std::to_string(value)); }

// {"printed":true,"pages":N,"job":42,"failed":[{"record":7,"message":"..."}],"message":""};
// for a file per record "files" and "skipped" instead of "job".
std::u16string BatchJson(const TBatchResult& result, bool filePerRecord) {
  std::u16string failed;
  for (const TRecordFailure& failure : result.failed) {
    failed += (failed.empty() ? u"{\"record\":" : u",{\"record\":") + Number(failure.record) +
              u",\"message\":" + JsonQuote(codepage::AnsiToWide(failure.message)) + u"}";
  }
  const PrintOutcome& outcome = result.outcome;
  std::u16string json = u"{\"printed\":" + std::u16string(outcome.Printed() ? u"true" : u"false") +
                        u",\"pages\":" + Number(result.pages);
  if (filePerRecord) {
    json += u",\"files\":" + Number(result.jobs) + u",\"skipped\":" + Number(result.skipped);
  } else {
    json += u",\"job\":" + (outcome.job > 0 ? Number(outcome.job) : u"null");
  }
  return json + u",\"failed\":[" + failed + u"],\"message\":" +
         JsonQuote(codepage::AnsiToWide(outcome.message)) + u"}";
}

// The pattern with the record's number, as wide as the last record's, in place of its last
// {record} (a folder's name may hold one too).
std::string RecordPath(std::string pattern, int32_t record, int32_t records) {
  std::string number = std::to_string(record);
  number.insert(0, std::to_string(records).size() - number.size(), '0');
  return pattern.replace(pattern.rfind(kRecordPlaceholder), kRecordPlaceholder.size(), number);
}

bool FileExists(const std::string& ansiPath) {
  std::error_code error;
  return std::filesystem::is_regular_file(codepage::AnsiToUtf8(ansiPath), error);
}

// The current printer while the object lives is another system printer, so that the files of a
// run leave the host's selection as it was.
class PrinterSwap {
 public:
  PrinterSwap() : previous_(ReplaceCurrentPrinter(MakeSystemPrinter())) {}
  ~PrinterSwap() { ReplaceCurrentPrinter(std::move(previous_)); }
  PrinterSwap(const PrinterSwap&) = delete;
  PrinterSwap& operator=(const PrinterSwap&) = delete;

 private:
  std::unique_ptr<Printer> previous_;
};

}  // namespace

HRESULT TTavoPreFmtPrinter::PrintXmlBatch(BSTR XmlData, BSTR XmlRule, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoBatchPrint, [&] {
    ThePrinter();
    const TBatchResult result = PrintBatchOnCurrentPrinter(Ansi(XmlRule), Ansi(XmlData));
    *Value = Bstr(BatchJson(result, false)).Detach();
  });
}

HRESULT TTavoPreFmtPrinter::PrintXmlBatchFiles(BSTR XmlData, BSTR XmlRule, BSTR PathPattern,
                                               int32_t Resume, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoBatchPrint, [&] {
    const std::string pattern = Ansi(PathPattern);
    if (!pattern.starts_with('/') || pattern.find(kRecordPlaceholder) == std::string::npos) {
      throw OleError(
          "The path pattern must be an absolute path holding {record}, not \"" + pattern + "\"",
          E_INVALIDARG);
    }
    if (ThePrinter().Printing() || OpenBatch()) throw Error(kPrintingInProgress);
    const PrinterSwap swap;
    const TBatchResult result =
        PrintRecordJobs(Ansi(XmlRule), Ansi(XmlData), kPdfPrinterPrefix + pattern,
                        [&](int32_t record, int32_t records) {
                          const std::string path = RecordPath(pattern, record, records);
                          if (Resume != 0 && FileExists(path)) return false;
                          CurrentPrinter().Select(kPdfPrinterPrefix + path);
                          return true;
                        });
    *Value = Bstr(BatchJson(result, true)).Detach();
  });
}

HRESULT TTavoPreFmtPrinter::BeginBatch() {
  return Guarded(IID_ITavoBatchPrint, [&] {
    if (OpenBatch()) throw Error("A batch is open already; EndBatch ends it");
    if (ThePrinter().Printing()) throw Error(kPrintingInProgress);
    OpenBatch().emplace();
  });
}

HRESULT TTavoPreFmtPrinter::EndBatch(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoBatchPrint, [&] {
    if (!OpenBatch()) throw Error("No batch is open; BeginBatch opens one");
    TBatchJob batch = std::move(*OpenBatch());
    OpenBatch().reset();
    *Value = Bstr(BatchJson(batch.End(), false)).Detach();
  });
}

}  // namespace tavo
