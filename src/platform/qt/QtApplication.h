// The Qt application the windows need. A host that has none gets one on first use.
#pragma once

namespace tavo {

// Creates a QApplication on the calling thread unless one exists (offscreen when there is no
// display) and loads the project's font mapping into fontconfig first, so Windows font names in
// rule documents find their metric-compatible free fonts.
void EnsureQtApplication();

}  // namespace tavo
