#include "control/ThePrinter.h"

#include "platform/printer/system/SystemPrinter.h"

namespace tavo {

Printer& ThePrinter() {
  static const bool installed = [] {
    InstallSystemPrinter();
    return true;
  }();
  (void)installed;
  return CurrentPrinter();
}

}  // namespace tavo
