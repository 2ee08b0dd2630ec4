#include "Application.h"

#include <cstdlib>
#include <vector>

namespace tavo::bridge {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv) {
  // QApplication keeps references to argc and argv for its whole life.
  static std::vector<char*> arguments;
  static int count = 0;
  static char platform[] = "-platform";
  static char offscreen[] = "offscreen";
  arguments.assign(argv, argv + argc);
  if (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
    arguments.push_back(platform);
    arguments.push_back(offscreen);
  }
  count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  return std::make_unique<QApplication>(count, arguments.data());
}

bool ShowsWindows() {
  const QString name = QGuiApplication::platformName();
  return name != "offscreen" && name != "minimal" && name != "minimalegl";
}

}  // namespace tavo::bridge
