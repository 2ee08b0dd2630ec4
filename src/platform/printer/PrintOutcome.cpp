#include "platform/printer/PrintOutcome.h"

#include <utility>

namespace tavo {
namespace {

// Used on the host's thread only, like the current printer.
std::optional<PrintOutcome>& Slot() {
  static std::optional<PrintOutcome> last;
  return last;
}

}  // namespace

std::optional<PrintOutcome> LastPrintOutcome() { return Slot(); }

void RecordPrintOutcome(PrintOutcome outcome) { Slot() = std::move(outcome); }

}  // namespace tavo
