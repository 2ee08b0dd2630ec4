// Starting a page's worker: `PROGRAM --worker` with one end of a socket pair as its standard
// input, its standard output joined to standard error, the page's folder as its working
// directory and a temporary folder of its own. It inherits no other descriptor, no ignored
// signal, and only the environment the control needs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavo::bridge {

struct StartedWorker {
  pid_t pid = -1;
  int socket = -1;  // the bridge's end, owned by the caller
};

// A failure is an exception naming the reason. `tempFolder` becomes the worker's TMPDIR.
StartedWorker StartWorker(const std::string& program, const std::filesystem::path& folder,
                          const std::filesystem::path& tempFolder);

// The variables of `environment` ("NAME=value") a worker keeps: HOME, USER, LOGNAME, PATH,
// LANG, LANGUAGE and LC_*, XDG_*, the display's (DISPLAY, WAYLAND_DISPLAY, XAUTHORITY,
// DBUS_SESSION_BUS_ADDRESS), TAVO_*, QT_*, CUPS_SERVER, FONTCONFIG_*, LOCPATH and the
// sanitizers' options. TMPDIR is the worker's own.
std::vector<std::string> WorkerEnvironment(const char* const* environment,
                                           const std::filesystem::path& tempFolder);

}  // namespace tavo::bridge
