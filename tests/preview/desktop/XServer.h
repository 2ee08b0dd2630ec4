// A private X server for tests that show windows to a "person": Xvfb on a free display number,
// with no window manager, stopped at the end.
#pragma once

#include <sys/types.h>

#include <string>

namespace tavo::test {

class XServer {
 public:
  // Starts Xvfb and waits (bounded) until it names its display. Running() tells whether it did.
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool Running() const { return !display_.empty(); }
  const std::string& Failure() const { return failure_; }
  // ":N", for DISPLAY.
  const std::string& Display() const { return display_; }

  // What a window manager sends when the user clicks a window's close box: WM_PROTOCOLS with
  // WM_DELETE_WINDOW. False when the server could not be reached.
  bool RequestClose(unsigned long window) const;

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string failure_;
};

}  // namespace tavo::test
