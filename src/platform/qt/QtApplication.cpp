#include "platform/qt/QtApplication.h"

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "platform/core/Error.h"
#include "platform/qt/FontMapping.h"

namespace tavo {
namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

void EnsureQtApplication() {
  LoadFontMapping();
  if (QCoreApplication::instance()) {
    // Fonts and painting need at least a GUI application; a console-only host cannot draw.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      throw Error("The host's Qt application cannot draw: it is not a GUI application");
    return;
  }
  if (!HasDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // QApplication keeps references to argc and argv for its whole life.
  static int argc = 1;
  static char name[] = "tavo";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> application = std::make_unique<QApplication>(argc, argv);
}

}  // namespace tavo
