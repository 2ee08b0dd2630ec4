// The listening sockets systemd passes to the service of a socket unit: LISTEN_PID names this
// process, LISTEN_FDS counts the descriptors from 3 on.
#pragma once

#include <string>
#include <vector>

#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {

struct PassedSocket {
  FileDescriptor descriptor;
  std::string address;  // 127.0.0.1:17370, [::1]:17370
};

// The listening stream sockets passed to this process, set non-blocking and close-on-exec;
// the variables are removed so that nothing started later takes them for its own. A failure
// (nothing passed, or a descriptor that is no listening socket) is an exception naming it.
std::vector<PassedSocket> TakePassedSockets();

}  // namespace tavo::bridge
