// A small HTTP server on 127.0.0.1 for the download tests: it answers each request path with a
// canned response, one connection at a time, on its own thread.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavo::testing {

struct CannedResponse {
  std::string bytes;                     // status line, headers and body as sent
  size_t sendLimit = std::string::npos;  // the connection closes after this many bytes
};

CannedResponse Respond(int status, const std::string& reason, const std::string& body,
                       const std::string& extraHeaders = "");
// Declares a longer body than it sends, then closes the connection.
CannedResponse CutShort(const std::string& body, size_t declaredLength);

class LoopbackServer {
 public:
  explicit LoopbackServer(std::map<std::string, CannedResponse> routes);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::string Url(const std::string& path) const;
  // The request paths received so far, in order.
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void Answer(int connection);

  std::map<std::string, CannedResponse> routes_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A loopback port on which nothing listens.
uint16_t UnusedPort();

}  // namespace tavo::testing
