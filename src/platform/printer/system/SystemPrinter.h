// The current printer of this platform: the CUPS destinations (CUPS's default destination when
// nothing is selected) and the virtual PDF printer, selected by the name "pdf:" followed by an
// absolute output path.
#pragma once

#include <memory>

#include "platform/printer/Printer.h"

namespace tavo {

inline constexpr const char* kPdfPrinterPrefix = "pdf:";

std::unique_ptr<Printer> MakeSystemPrinter();
// Makes the system printer the process's current printer (CurrentPrinter()).
void InstallSystemPrinter();

}  // namespace tavo
