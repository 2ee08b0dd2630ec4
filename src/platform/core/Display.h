// Whether a window shown now would reach a person: the rule the preview checks before it waits
// for a user who could never see it.
#pragma once

#include <optional>
#include <string>

namespace tavo {

// Tests that drive the preview dialog on the offscreen platform and close it themselves set
// this variable (to any non-empty text); nothing else may show a dialog nobody can see.
inline constexpr const char* kOffscreenDialogOptIn = "TAVO_TEST_OFFSCREEN_DIALOG";

// Why a window would reach nobody, or none when it would. No display: QT_QPA_PLATFORM names a
// platform that shows no window to a person (offscreen, minimal), or it names none and neither
// DISPLAY nor WAYLAND_DISPLAY is set. The opt-in of the tests counts as a display.
std::optional<std::string> WhyNoDisplay();

// True for a Qt platform name (as QT_QPA_PLATFORM or QGuiApplication::platformName() give it,
// options after ':' allowed) that shows no window to a person.
bool ShowsNoWindow(const std::string& platform);

// True when the tests' opt-in is set.
bool OffscreenDialogOptedIn();

}  // namespace tavo
