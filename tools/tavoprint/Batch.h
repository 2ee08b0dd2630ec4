// Runs of records from the command line: `print --all-records` (one data file, one job) and
// `batch` (many data files, in worker processes, in shards over machines).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Automation.h"

namespace tavo::tool {

extern const char* const kBatchUsage;

// Every record of the data as its own page, all in one job on the selected printer
// (PrintXmlBatch). Exit 0 when every record printed, else 1 with the records left out.
int PrintAllRecords(AutomationObject& control, const std::u16string& data,
                    const std::u16string& rule, std::optional<int> waitSeconds);

// tavoprint batch RULE DATA... (--pdf-dir DIR | --pdf ONE.pdf | --printer NAME) [--jobs N]
// [--shard I/N] [--resume]. Exit 0 all printed, 1 some failed (listed), 2 usage.
int Batch(std::vector<std::string> args, std::u16string_view progId);

}  // namespace tavo::tool
