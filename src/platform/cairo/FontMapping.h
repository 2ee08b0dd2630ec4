// The mapping of Windows font names to metric-compatible free fonts, as fontconfig rules.
#pragma once

namespace tavo {

// Adds the rules to the process's current fontconfig configuration (the system's files are not
// touched). Only the first call does anything, until ForgetFontMapping.
void LoadFontMapping();
// For a fontconfig that was shut down (FcFini): the next LoadFontMapping loads the rules again.
void ForgetFontMapping();

}  // namespace tavo
