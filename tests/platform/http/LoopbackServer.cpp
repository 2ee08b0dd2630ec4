#include "platform/http/LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tavo::testing {
namespace {

constexpr int kIoTimeoutMs = 5000;
constexpr size_t kMaxRequest = 1 << 20;

int ListenOnLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool WaitReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, kIoTimeoutMs) == 1;
}

}  // namespace

CannedResponse Respond(int status, const std::string& reason, const std::string& body,
                       const std::string& extraHeaders) {
  return {"HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body};
}

CannedResponse CutShort(const std::string& body, size_t declaredLength) {
  return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(declaredLength) +
          "\r\nConnection: close\r\n\r\n" + body};
}

LoopbackServer::LoopbackServer(std::map<std::string, CannedResponse> routes)
    : routes_(std::move(routes)) {
  listener_ = ListenOnLoopback(port_);
  if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  (void)!::write(wake_[1], "x", 1);
  thread_.join();
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void LoopbackServer::Answer(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
    if (!WaitReadable(connection)) return;
    const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
  }
  // "GET /path HTTP/1.1"
  const size_t start = request.find(' ') + 1;
  const std::string path = request.substr(start, request.find(' ', start) - start);
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(path);
  }
  const auto route = routes_.find(path);
  const CannedResponse response =
      route != routes_.end() ? route->second : Respond(404, "Not Found", "no such page");
  const size_t total = std::min(response.bytes.size(), response.sendLimit);
  for (size_t sent = 0; sent < total;) {
    const ssize_t n = ::send(connection, response.bytes.data() + sent, total - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client went away
    sent += static_cast<size_t>(n);
  }
  // Let the client read everything before the connection goes.
  ::shutdown(connection, SHUT_WR);
  while (WaitReadable(connection) && ::recv(connection, buffer, sizeof buffer, 0) > 0) {
  }
}

uint16_t UnusedPort() {
  uint16_t port = 0;
  ::close(ListenOnLoopback(port));
  return port;
}

}  // namespace tavo::testing
