#include "printing/unitCommonPrintingBatch.h"

#include <exception>
#include <memory>

#include "platform/codepage/CodePage.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingOutcome.h"
#include "printing/unitCommonPrintingTree.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace tavo {
namespace {

constexpr const char* kNoPrintingElement = "The print rule holds no printing element";
constexpr const char* kNoDataRecord = "The data document holds no record to print";

Orientation OrientationOf(const TTavoXmlDataPrinter& printer) {
  return printer.Settings().landscape ? Orientation::Landscape : Orientation::Portrait;
}

const char* OrientationName(Orientation orientation) {
  return orientation == Orientation::Landscape ? "landscape" : "portrait";
}

// The failures of a run as the last print's message: the first one, and how many there were.
std::string FailureSummary(const TBatchResult& result) {
  if (result.failed.empty()) return {};
  const TRecordFailure& first = result.failed.front();
  const size_t count = result.failed.size();
  return std::to_string(count) + (count == 1 ? " record was" : " records were") +
         " left out; record " + std::to_string(first.record) + ": " + first.message;
}

// The parsed data and its records; none when the text does not parse.
struct TRecords {
  std::unique_ptr<TTavoCommonXmlBean> bean;
  std::vector<TItem*> items;
};

TRecords ReadRecords(const std::string& dataText) {
  TRecords records;
  records.bean = TTavoXMLBeanParser::ParseXmlBean(codepage::AnsiToWide(dataText));
  records.items = RecordsOf(records.bean.get());
  return records;
}

}  // namespace

void TBatchJob::Begin(const std::string& title, Orientation orientation, const PageRequest& page) {
  Printer& printer = CurrentPrinter();
  total_.outcome.printer = SelectedPrinterName();
  total_.outcome.title = title;
  printer.SetOrientation(orientation);
  printer.SetPage(page);
  printer.SetTitle(title);
  printer.BeginDoc();
  begun_ = true;
  pageBlank_ = true;
  orientation_ = orientation;
  page_ = page;
  total_.outcome.begun = true;
}

TBatchResult TBatchJob::Add(const std::string& ruleText, const std::string& dataText) {
  TBatchResult added;
  TTavoXmlDataPrinter printer(ruleText, nullptr);
  auto note = [&](const std::string& message) {
    if (total_.outcome.message.empty()) total_.outcome.message = message;
    added.outcome.message = message;
  };
  if (!printer.ruleItem) {
    note(kNoPrintingElement);
    return added;
  }
  const TRecords records = ReadRecords(dataText);
  added.records = static_cast<int32_t>(records.items.size());
  total_.records += added.records;
  if (records.items.empty()) note(kNoDataRecord);

  Printer& current = CurrentPrinter();
  int32_t number = 0;
  for (TItem* record : records.items) {
    ++number;
    // A job that takes no more pages ends the run; the outcome's message says why.
    if (!stopped_.empty()) break;
    const Orientation orientation = OrientationOf(printer);
    const PageRequest page = RequestedPage(printer.Settings());
    if (!begun_) {
      try {
        Begin(JobTitle(*record), orientation, page);
      } catch (const std::exception& failure) {
        // No job at all (no printer, a job of another caller open): no record can print.
        stopped_ = failure.what();
        added.failed.push_back({number, stopped_});
        continue;
      }
    } else if (!current.Printing()) {
      stopped_ = "The batch's print job was ended by another call";
      added.failed.push_back({number, stopped_});
      continue;
    }
    if (orientation != orientation_) {
      added.failed.push_back(
          {number, std::string("The rule prints ") + OrientationName(orientation) +
                       " pages; the batch's job was begun " + OrientationName(orientation_)});
      continue;
    }
    // One job has one sheet: a rule of another page size needs a job of its own.
    if (page.widthMm != page_.widthMm || page.heightMm != page_.heightMm ||
        page.asPaper != page_.asPaper) {
      added.failed.push_back(
          {number, "The rule's page differs from the page the batch's job was begun on"});
      continue;
    }
    printer.canvas = &current.GetCanvas();
    std::vector<TPageRows> pages;
    try {
      pages = printer.PlanPages(record, true);
    } catch (const std::exception& failure) {
      added.failed.push_back({number, failure.what()});
      continue;
    }
    try {
      printer.DrawPages(current, record, pages, pageBlank_);
      added.pages += static_cast<int32_t>(pages.size());
    } catch (const std::exception& failure) {
      // Measured alike, drawn otherwise: the device failed. What was drawn stays in the job.
      stopped_ = failure.what();
      added.failed.push_back({number, stopped_});
    }
  }
  printer.canvas = nullptr;
  // Inside a batch that goes on, the pages have joined its job; End delivers them.
  added.outcome.printer = total_.outcome.printer;
  added.outcome.title = total_.outcome.title;
  added.outcome.begun = added.outcome.composed = added.outcome.ended =
      stopped_.empty() && added.pages > 0;
  if (!stopped_.empty()) added.outcome.message = stopped_;
  total_.pages += added.pages;
  total_.failed.insert(total_.failed.end(), added.failed.begin(), added.failed.end());
  return added;
}

TBatchResult TBatchJob::End() {
  PrintOutcome& outcome = total_.outcome;
  Printer& printer = CurrentPrinter();
  if (begun_ && printer.Printing()) {
    try {
      if (total_.pages == 0) {
        // Nothing to deliver: the job goes without a sheet of paper.
        printer.Abort();
      } else {
        printer.EndDoc();
        outcome.ended = true;
        outcome.job = printer.LastJobId();
      }
    } catch (const std::exception& failure) {
      if (stopped_.empty()) stopped_ = failure.what();
    }
  } else if (begun_ && stopped_.empty()) {
    stopped_ = "The batch's print job was ended by another call";
  }
  begun_ = false;
  outcome.composed = stopped_.empty() && total_.pages > 0;
  if (!stopped_.empty()) {
    outcome.message = stopped_;
  } else if (!total_.failed.empty()) {
    outcome.message = FailureSummary(total_);
  }
  RecordPrintOutcome(outcome);
  return total_;
}

TBatchResult PrintBatchOnCurrentPrinter(const std::string& ruleText, const std::string& dataText) {
  if (std::optional<TBatchJob>& open = OpenBatch()) return open->Add(ruleText, dataText);
  TBatchJob job;
  try {
    job.Add(ruleText, dataText);
  } catch (const std::exception& failure) {
    // Only building the data printer fails out of Add, before any job began.
    RecordNothingPrinted(failure.what());
    throw;
  }
  return job.End();
}

TBatchResult PrintRecordJobs(const std::string& ruleText, const std::string& dataText,
                             const std::string& printerName,
                             const std::function<bool(int32_t, int32_t)>& beforeRecord) {
  TBatchResult result;
  result.outcome.printer = printerName;
  const TRecords records = ReadRecords(dataText);
  result.records = static_cast<int32_t>(records.items.size());
  // The data printer reads the rule against the printer the first record selects.
  std::unique_ptr<TTavoXmlDataPrinter> printer;
  Printer& current = CurrentPrinter();
  int32_t number = 0;
  for (TItem* record : records.items) {
    ++number;
    if (!beforeRecord(number, result.records)) {
      ++result.skipped;
      continue;
    }
    if (!printer) {
      try {
        printer = std::make_unique<TTavoXmlDataPrinter>(ruleText, nullptr);
      } catch (const std::exception& failure) {
        RecordNothingPrinted(failure.what());
        throw;
      }
      if (!printer->ruleItem) {
        result.outcome.message = kNoPrintingElement;
        break;
      }
    }
    try {
      const std::string title = JobTitle(*record);
      current.SetOrientation(OrientationOf(*printer));
      current.SetPage(RequestedPage(printer->Settings()));
      current.SetTitle(title);
      current.BeginDoc();
      if (result.outcome.title.empty()) result.outcome.title = title;
    } catch (const std::exception& failure) {
      result.failed.push_back({number, failure.what()});
      continue;
    }
    try {
      printer->canvas = &current.GetCanvas();
      const std::vector<TPageRows> pages = printer->PlanPages(record, true);
      bool pageBlank = true;
      printer->DrawPages(current, record, pages, pageBlank);
      printer->canvas = nullptr;
      current.EndDoc();
      result.pages += static_cast<int32_t>(pages.size());
      ++result.jobs;
    } catch (const std::exception& failure) {
      printer->canvas = nullptr;
      result.failed.push_back({number, failure.what()});
      if (current.Printing()) current.Abort();
    }
  }
  if (records.items.empty()) result.outcome.message = kNoDataRecord;
  PrintOutcome& outcome = result.outcome;
  outcome.begun = outcome.composed = outcome.ended =
      result.records > 0 && result.failed.empty() && outcome.message.empty();
  if (!result.failed.empty()) outcome.message = FailureSummary(result);
  RecordPrintOutcome(outcome);
  return result;
}

std::optional<TBatchJob>& OpenBatch() {
  static std::optional<TBatchJob> open;
  return open;
}

}  // namespace tavo
