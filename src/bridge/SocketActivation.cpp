#include "bridge/SocketActivation.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace tavo::bridge {
namespace {

constexpr int kFirstPassed = 3;

long Number(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return -1;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' ? value : -1;
}

std::string AddressOf(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "?";
  char text[INET6_ADDRSTRLEN] = "?";
  if (address.ss_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(in.sin_port));
  }
  if (address.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    ::inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(in6.sin6_port));
  }
  return "a socket of family " + std::to_string(address.ss_family);
}

}  // namespace

std::vector<PassedSocket> TakePassedSockets() {
  const long pid = Number("LISTEN_PID");
  const long count = Number("LISTEN_FDS");
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  if (pid != static_cast<long>(::getpid()) || count <= 0)
    throw std::runtime_error(
        "no listening socket was passed (LISTEN_FDS): the dispatcher is started by systemd's "
        "tavobridge.socket");
  std::vector<PassedSocket> sockets;
  for (int fd = kFirstPassed; fd < kFirstPassed + count; ++fd) {
    FileDescriptor owned(fd);
    int listening = 0;
    int type = 0;
    socklen_t length = sizeof listening;
    socklen_t typeLength = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening ||
        ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_STREAM)
      throw std::runtime_error("descriptor " + std::to_string(fd) +
                               " passed by systemd is no listening stream socket");
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    sockets.push_back({std::move(owned), AddressOf(fd)});
  }
  return sockets;
}

}  // namespace tavo::bridge
