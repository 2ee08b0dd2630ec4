#include "platform/core/Display.h"

#include <cstdlib>

#include "platform/core/AsciiText.h"

namespace tavo {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The platform Qt tries first: QT_QPA_PLATFORM may list fallbacks after ';' and give options
// after ':'.
std::string FirstPlatform(const std::string& names) {
  const std::string first = names.substr(0, names.find(';'));
  return first.substr(0, first.find(':'));
}

}  // namespace

bool ShowsNoWindow(const std::string& platform) {
  const std::string name = FirstPlatform(platform);
  return EqualsIgnoringAsciiCase(name, "offscreen") || EqualsIgnoringAsciiCase(name, "minimal");
}

bool OffscreenDialogOptedIn() { return !Variable(kOffscreenDialogOptIn).empty(); }

std::optional<std::string> WhyNoDisplay() {
  if (OffscreenDialogOptedIn()) return std::nullopt;
  const std::string platform = Variable("QT_QPA_PLATFORM");
  if (!platform.empty()) {
    if (ShowsNoWindow(platform))
      return "QT_QPA_PLATFORM=" + platform + " shows no window to a person";
    return std::nullopt;
  }
  if (Variable("DISPLAY").empty() && Variable("WAYLAND_DISPLAY").empty())
    return "set DISPLAY or WAYLAND_DISPLAY";
  return std::nullopt;
}

}  // namespace tavo
