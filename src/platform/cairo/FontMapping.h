// The mapping of Windows font names to metric-compatible free fonts, as fontconfig rules.
#pragma once

namespace tavo {

// Adds the rules to the process's current fontconfig configuration (the system's files are not
// touched). Only the first call does anything.
void LoadFontMapping();

}  // namespace tavo
