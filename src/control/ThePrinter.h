// The current printer of this platform as the control's methods reach it.
#pragma once

#include "platform/printer/Printer.h"

namespace tavo {

// The system printer, installed on first use: the host creates the control long before it
// prints, and many hosts never print at all. Choosing and listing printers needs no Qt.
Printer& ThePrinter();

}  // namespace tavo
