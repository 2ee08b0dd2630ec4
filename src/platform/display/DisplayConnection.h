// Whether the display the environment names can be opened. Qt's platform plugins end the
// whole process when theirs cannot; this asks first, without loading Qt.
#pragma once

#include <optional>
#include <string>

namespace tavo {

// "cannot open display NAME" when the display Qt would use cannot be reached: the X server of
// DISPLAY (through libxcb, with its authority), or the Wayland compositor's socket of
// WAYLAND_DISPLAY; none when it can, or when the environment names another platform or none.
// With both set and no platform named, either one will do.
std::optional<std::string> UnreachableDisplay();

}  // namespace tavo
