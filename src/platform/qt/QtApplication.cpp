#include "platform/qt/QtApplication.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/core/Error.h"
#include "platform/cairo/FontMapping.h"

namespace tavo {
namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// Qt's notices go to the host's standard error; the one about a missing runtime directory is
// expected in services and containers and says nothing about printing.
QtMessageHandler g_previousHandler = nullptr;

void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  if (g_previousHandler != nullptr) {
    g_previousHandler(type, context, text);
  } else {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}

}  // namespace

void EnsureQtApplication() {
  LoadFontMapping();
  static const bool filtering = [] {
    g_previousHandler = qInstallMessageHandler(FilterQtMessages);
    return true;
  }();
  (void)filtering;
  if (QCoreApplication::instance()) {
    // Fonts and painting need at least a GUI application; a console-only host cannot draw.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      throw Error("The host's Qt application cannot draw: it is not a GUI application");
    return;
  }
  // QApplication keeps references to argc and argv for its whole life. Without a display it
  // draws offscreen, chosen on its command line rather than in the environment, so that the
  // process (and a preview that asks for a display later) still sees it has none.
  static char name[] = "tavo";
  static char platformOption[] = "-platform";
  static char offscreen[] = "offscreen";
  static char* argv[] = {name, platformOption, offscreen, nullptr};
  static int argc = HasDisplay() ? 1 : 3;
  if (argc == 1) argv[1] = nullptr;
  static std::unique_ptr<QApplication> application = std::make_unique<QApplication>(argc, argv);
}

}  // namespace tavo
