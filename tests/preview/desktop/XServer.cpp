#include "preview/desktop/XServer.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/core/FileDescriptor.h"

extern char** environ;

namespace tavo::test {
namespace {

// Reads what Xvfb writes to its -displayfd: the display number and a newline.
std::string ReadDisplayNumber(int fd, int timeoutMs) {
  std::string text;
  pollfd ready{fd, POLLIN, 0};
  while (text.find('\n') == std::string::npos && ::poll(&ready, 1, timeoutMs) > 0) {
    char buffer[32];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  const size_t end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

XServer::XServer() {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    failure_ = "no pipe";
    return;
  }
  const FileDescriptor readEnd(pipeFds[0]);
  FileDescriptor writeEnd(pipeFds[1]);
  const std::string fd = std::to_string(pipeFds[1]);
  std::string args[] = {"Xvfb",         "-displayfd", fd,    "-screen", "0",
                        "1280x1024x24", "-nolisten",  "tcp", "-noreset"};
  char* argv[std::size(args) + 1] = {};
  for (size_t i = 0; i < std::size(args); ++i) argv[i] = args[i].data();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int spawned = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  writeEnd.Close();  // Xvfb holds the only writer: its end is the end of the pipe
  if (spawned != 0) {
    pid_ = -1;
    failure_ = "Xvfb could not be started: " + std::string(std::strerror(spawned));
    return;
  }
  const std::string number = ReadDisplayNumber(pipeFds[0], 20000);
  if (number.empty()) {
    failure_ = "Xvfb named no display within 20 seconds";
    return;
  }
  display_ = ":" + number;
}

XServer::~XServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

bool XServer::RequestClose(unsigned long window) const {
  ::Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent != 0;
}

}  // namespace tavo::test
