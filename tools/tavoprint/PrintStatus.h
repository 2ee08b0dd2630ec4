// What tavoprint reads back after a print: the control's record of the last print, and the
// state of its CUPS job, both through ITavoPrintStatus by name.
#pragma once

#include <optional>
#include <string>

#include "Automation.h"

namespace tavo::tool {

struct LastPrintReport {
  bool printed = false;
  std::string printer;  // UTF-8, as the control names it
  std::optional<int> job;
  std::string message;  // UTF-8
};

LastPrintReport ReadLastPrint(AutomationObject& control);
// Why nothing was printed, for standard error.
std::string NotPrinted(const LastPrintReport& last);
// Follows `job` until it is completed (returns 0) or stopped, canceled or aborted, or until
// `seconds` have passed: then a ToolFailure with exit code 1 says how it stands.
int FollowJob(AutomationObject& control, int job, int seconds);

}  // namespace tavo::tool
