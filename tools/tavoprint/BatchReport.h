// What tavoprint reads back from a run of records (ITavoBatchPrint's JSON answers) and how it
// tells the user.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavo::tool {

struct RecordFailure {
  long record = 0;      // from 1; 0 for a failure of the whole file
  std::string message;  // UTF-8
};

struct BatchReport {
  bool printed = false;
  long pages = 0;
  long files = 0;    // PDF files written, one per record
  long skipped = 0;  // records whose file was there already
  std::optional<int> job;
  std::vector<RecordFailure> failed;
  std::string message;  // UTF-8: why nothing, or not everything, printed
};

// The answer of PrintXmlBatch, PrintXmlBatchFiles or EndBatch; a ToolFailure for text of any
// other shape.
BatchReport ParseBatchReport(const std::string& json);
// A report of one failure of the whole file, as the workers hand it on.
std::string FileFailureJson(const std::string& message);

// "FILE: record 7: MESSAGE" lines, one per failure.
std::string FormatFailures(const std::string& file, const std::vector<RecordFailure>& failed);

}  // namespace tavo::tool
