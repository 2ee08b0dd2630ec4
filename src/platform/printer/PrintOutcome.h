// The outcome of the last print of this process. The print path swallows its failures, so the
// host's call succeeds whatever happened; this record keeps what did happen, for hosts that
// ask (ITavoPrintStatus).
#pragma once

#include <optional>
#include <string>

namespace tavo {

struct PrintOutcome {
  std::string printer;    // ANSI: the printer's name as hosts select it ("pdf:/path" included)
  std::string title;      // ANSI: the job's document name
  bool begun = false;     // the document was begun
  bool composed = false;  // the page was composed without a failure
  bool ended = false;     // the document was ended and delivered
  int job = 0;            // the spooler's job id; 0 when no spooled job was made
  std::string message;    // ANSI: the first failure the print path swallowed; empty when none

  bool Printed() const { return begun && composed && ended; }
};

// The last print's outcome; none before the first print of the process.
std::optional<PrintOutcome> LastPrintOutcome();
// Replaces the record.
void RecordPrintOutcome(PrintOutcome outcome);

}  // namespace tavo
