#include "platform/display/DisplayConnection.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/core/AsciiText.h"
#include "platform/core/FileDescriptor.h"

namespace tavo {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool XServerReachable(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool reachable = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);  // also frees a connection in error
  return reachable;
}

bool CompositorReachable(const std::string& display) {
  const std::filesystem::path socketPath =
      display.front() == '/' ? std::filesystem::path(display)
                             : std::filesystem::path(Variable("XDG_RUNTIME_DIR")) / display;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.native().size() >= sizeof address.sun_path) return false;
  std::strcpy(address.sun_path, socketPath.c_str());
  const FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd.Valid() &&
         ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

std::optional<std::string> UnreachableDisplay() {
  const std::string names = Variable("QT_QPA_PLATFORM");
  const std::string first = names.substr(0, names.find(';'));
  const std::string platform = first.substr(0, first.find(':'));
  const std::string x = Variable("DISPLAY");
  const std::string wayland = Variable("WAYLAND_DISPLAY");
  const bool xNamed = EqualsIgnoringAsciiCase(platform, "xcb");
  const bool waylandNamed =
      EqualsIgnoringAsciiCase(std::string_view(platform).substr(0, 7), "wayland");
  if (!platform.empty() && !xNamed && !waylandNamed) return std::nullopt;

  const bool tryX = xNamed || (platform.empty() && !x.empty());
  const bool tryWayland = waylandNamed || (platform.empty() && !wayland.empty());
  if (tryX && XServerReachable(x)) return std::nullopt;
  if (tryWayland && CompositorReachable(wayland.empty() ? "wayland-0" : wayland))
    return std::nullopt;
  if (!tryX && !tryWayland) return std::nullopt;
  return "cannot open display " + (tryX ? (x.empty() ? "(DISPLAY is not set)" : x)
                                        : (wayland.empty() ? "wayland-0" : wayland));
}

}  // namespace tavo
