// The print path's part in the process's print outcome (platform/printer/PrintOutcome.h).
#pragma once

#include <string>

#include "xmlbean/unitTavoCommonXmlBean.h"

namespace tavo {

// The job's document name for a record: "票据打印", then the invoice number when the record has
// one (ANSI).
std::string JobTitle(const TItem& dataItem);

// The current printer's name as hosts select it; empty when there is none.
std::string SelectedPrinterName();
// Records a print that opened no job, with the reason.
void RecordNothingPrinted(const std::string& message);

}  // namespace tavo
