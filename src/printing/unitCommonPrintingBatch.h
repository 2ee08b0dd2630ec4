// A run of records: every record of a data document (the records are the items where the data
// printer reads its one record) printed as PrintXmlData prints a document holding that record
// alone, all in one print job, or each record as a job of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/printer/PrintOutcome.h"
#include "platform/printer/Printer.h"

namespace tavo {

struct TRecordFailure {
  int32_t record = 0;   // from 1, in its data document
  std::string message;  // ANSI
};

struct TBatchResult {
  int32_t records = 0;  // records in the data
  int32_t pages = 0;    // pages printed
  int32_t jobs = 0;     // jobs delivered when every record is a job of its own
  int32_t skipped = 0;  // records left as the caller asked
  std::vector<TRecordFailure> failed;
  PrintOutcome outcome;  // how the run stands as the process's last print
};

// One print job on the current printer for the records of one or more data documents. The job
// begins with the first record, in the orientation and under the title PrintXmlData would give
// that record's job; each record's pages are composed on a canvas that only measures before any
// is drawn, so a record whose page fails is left out and named, and the job goes on.
class TBatchJob {
 public:
  // Adds the records of the data text printed with the rule text (both ANSI): the pages added
  // and the records left out. Fails as constructing PrintXmlData's data printer fails.
  TBatchResult Add(const std::string& ruleText, const std::string& dataText);
  // Ends the job (a job without a page is aborted) and records the run as the last print: the
  // pages and failures of every Add.
  TBatchResult End();

 private:
  void Begin(const std::string& title, Orientation orientation, const PageRequest& page);

  bool begun_ = false;
  bool pageBlank_ = false;  // the job's current page has nothing on it yet
  Orientation orientation_ = Orientation::Portrait;
  PageRequest page_;     // the sheet the job was begun on
  std::string stopped_;  // the failure that stopped the job taking pages
  TBatchResult total_;
};

// The records of the data text as one job on the current printer, the run recorded as the last
// print; inside the batch BeginBatch opened, its pages join that batch's job instead.
TBatchResult PrintBatchOnCurrentPrinter(const std::string& ruleText, const std::string& dataText);

// Every record of the data text as a job of its own on the current printer. Before each,
// `beforeRecord(record, records)` may select the printer and says whether the record is printed;
// a record whose page fails is left out and named, and its job aborted, so it leaves nothing.
// The run is recorded as the last print, `printerName` named as its printer.
TBatchResult PrintRecordJobs(
    const std::string& ruleText, const std::string& dataText, const std::string& printerName,
    const std::function<bool(int32_t record, int32_t records)>& beforeRecord);

// The batch whose job spans calls, from BeginBatch to EndBatch; process-wide, like the printer.
std::optional<TBatchJob>& OpenBatch();

}  // namespace tavo
