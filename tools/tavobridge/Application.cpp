#include "Application.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/display/DisplayConnection.h"

namespace tavo::bridge {
namespace {

// The notice about a missing runtime directory is expected in services and says nothing about
// the bridge; everything else Qt says goes to standard error.
void FilterQtMessages(QtMsgType, const QMessageLogContext&, const QString& text) {
  if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv,
                                              std::optional<std::string>& displayProblem) {
  // QApplication keeps references to argc and argv for its whole life.
  static std::vector<char*> arguments;
  static int count = 0;
  static char platform[] = "-platform";
  static char offscreen[] = "offscreen";
  qInstallMessageHandler(FilterQtMessages);
  arguments.assign(argv, argv + argc);
  displayProblem = UnreachableDisplay();
  if (displayProblem || (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY"))) {
    arguments.push_back(platform);
    arguments.push_back(offscreen);
  }
  count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  auto application = std::make_unique<QApplication>(count, arguments.data());
  application->setQuitOnLastWindowClosed(false);
  return application;
}

void LogDisplay(const std::optional<std::string>& problem) {
  if (ShowsWindows()) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x = std::getenv("DISPLAY");
    std::fprintf(stderr, "tavobridge: display %s: the origin prompt and previews are shown there\n",
                 wayland && *wayland ? wayland
                 : x && *x           ? x
                                     : "of the platform");
    return;
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const std::string why = problem                 ? *problem
                          : platform && *platform ? std::string("QT_QPA_PLATFORM=") + platform
                                                  : "neither DISPLAY nor WAYLAND_DISPLAY is set";
  std::fprintf(stderr,
               "tavobridge: no display, so no origin prompt (%s): unknown origins are refused and "
               "previews fail\n",
               why.c_str());
}

bool ShowsWindows() {
  const QString name = QGuiApplication::platformName();
  return name != "offscreen" && name != "minimal" && name != "minimalegl";
}

}  // namespace tavo::bridge
