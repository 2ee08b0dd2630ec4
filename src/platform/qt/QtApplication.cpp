#include "platform/qt/QtApplication.h"

#include <fontconfig/fontconfig.h>
#include <QApplication>
#include <QFontDatabase>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "platform/core/Display.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

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

// The message filter, once per process. It stays installed in Qt after any call: the module is
// never unloaded, so it cannot point into code that is gone. (The project's font mapping is the
// caller's to load, before the first application: fontconfig's configuration is the process's.)
void PrepareQt() {
  static const bool filtering = [] {
    g_previousHandler = qInstallMessageHandler(FilterQtMessages);
    return true;
  }();
  (void)filtering;
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Drawing needs no display and must not depend on one; windows use the platform the
// environment names, and offscreen only where the tests opted in without naming any.
bool NeedsOffscreen(QtUse use) {
  if (use == QtUse::Drawing) return true;
  return !IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
}

std::unique_ptr<QApplication> MakeApplication(QtUse use) {
  // QApplication keeps references to argc and argv for its whole life, and a later application
  // reads them again: they stay in static storage. The platform is chosen on its command line
  // rather than in the environment, so that the process still sees the display it has.
  static char name[] = "tavo";
  static char platformOption[] = "-platform";
  static char offscreen[] = "offscreen";
  static char* argv[4];
  static int argc;
  argv[0] = name;
  argv[1] = platformOption;
  argv[2] = offscreen;
  argv[3] = nullptr;
  argc = NeedsOffscreen(use) ? 3 : 1;
  if (argc == 1) argv[1] = nullptr;
  return std::make_unique<QApplication>(argc, argv);
}

// Throws unless the application there can serve `use` on this thread.
void CheckServes(const QCoreApplication& existing, QtUse use) {
  // Fonts and painting need at least a GUI application; a console-only host cannot draw.
  const auto* gui = qobject_cast<const QGuiApplication*>(&existing);
  if (!gui) throw Error("The host's Qt application cannot draw: it is not a GUI application");
  if (use == QtUse::Drawing) return;
  if (!qobject_cast<const QApplication*>(&existing))
    throw Error("The host's Qt application cannot show the preview: it is not a QApplication");
  if (existing.thread() != QThread::currentThread())
    throw Error("The preview can only be shown on the thread of the host's Qt application");
  const std::string platform = QGuiApplication::platformName().toStdString();
  if (ShowsNoWindow(platform) && !OffscreenDialogOptedIn())
    throw Error("Preview needs a display: the Qt application runs on the " + platform +
                " platform, which shows no window to a person");
}

// The innermost scope of the calling thread.
thread_local QtApplicationScope* t_innermost = nullptr;

}  // namespace

QtApplicationScope::QtApplicationScope(QtUse use) : outer_(t_innermost) {
  PrepareQt();
  if (const QCoreApplication* existing = QCoreApplication::instance()) {
    CheckServes(*existing, use);
  } else if (use == QtUse::Windows) {
    made_ = MakeApplication(use);
  }
  t_innermost = this;
}

QtApplicationScope::~QtApplicationScope() {
  t_innermost = outer_;
  if (!made_) return;
  // A Qt application's font database destroys fontconfig's current configuration as it goes,
  // dropping a reference it never took; the next application, and every font after it, would
  // then start from a fresh configuration without the project's font mapping. The reference
  // taken here is the one it drops; the database is made first (at once when fonts were used
  // already, which is nearly always), so that the two always pair.
  QFontDatabase::families();
  FcConfigReference(nullptr);
  made_.reset();
}

void EnsureQtApplication() {
  PrepareQt();
  if (const QCoreApplication* existing = QCoreApplication::instance()) {
    CheckServes(*existing, QtUse::Drawing);
    return;
  }
  if (t_innermost != nullptr) {
    QtApplicationScope* outermost = t_innermost;
    while (outermost->outer_ != nullptr) outermost = outermost->outer_;
    outermost->made_ = MakeApplication(QtUse::Drawing);
    return;
  }
  // Never destroyed: the exit handlers could not destroy it safely.
  static QApplication* const lasting = MakeApplication(QtUse::Drawing).release();
  (void)lasting;
}

}  // namespace tavo
