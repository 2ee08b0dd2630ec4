// The print path's part in the process's print outcome (platform/printer/PrintOutcome.h).
#pragma once

#include <string>

namespace tavo {

// The current printer's name as hosts select it; empty when there is none.
std::string SelectedPrinterName();
// Records a print that opened no job, with the reason.
void RecordNothingPrinted(const std::string& message);

}  // namespace tavo
