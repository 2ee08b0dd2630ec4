#include "bridge/Dispatcher.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "bridge/HandOver.h"
#include "bridge/PeerUid.h"

namespace tavo::bridge {
namespace {

using namespace std::chrono_literals;

constexpr auto kHandOverTimeout = 2s;  // then the connection is answered 503
constexpr auto kLinger = 1s;           // an answered connection's last chance to close itself
constexpr auto kRetryConnect = 20ms;   // towards a bridge whose queue is full
constexpr auto kAcceptPause = 100ms;   // when out of descriptors
constexpr size_t kMaxWaiting = 256;
constexpr size_t kMaxWaitingPerUser = 32;  // as many as one bridge serves pages at once
constexpr size_t kMaxClosing = 256;
constexpr size_t kMaxDiscarded = 64 * 1024;
constexpr int kAcceptBatch = 64;

void Log(const std::string& text) { std::fprintf(stderr, "tavobridge: %s\n", text.c_str()); }

std::string Uid(uid_t uid) { return "uid " + std::to_string(uid); }

}  // namespace

Dispatcher::Dispatcher(std::vector<PassedSocket> listeners, int stopDescriptor)
    : listeners_(std::move(listeners)), stop_(stopDescriptor) {}

void Dispatcher::Run() {
  std::vector<pollfd> polled;
  for (;;) {
    const Clock::time_point now = Clock::now();
    polled.clear();
    polled.push_back({stop_, POLLIN, 0});
    const bool accepting = now >= acceptPausedUntil_;
    for (const PassedSocket& listener : listeners_)
      polled.push_back({accepting ? listener.descriptor.Get() : -1, POLLIN, 0});
    const size_t waitingAt = polled.size();
    // One still to connect has no descriptor to watch: it is tried again after a short while.
    for (const HandOver& handOver : waiting_)
      polled.push_back({handOver.bridge.Valid() ? handOver.bridge.Get() : -1, POLLOUT, 0});
    const size_t closingAt = polled.size();
    for (const Closing& closing : closing_) polled.push_back({closing.client.Get(), POLLIN, 0});

    if (::poll(polled.data(), polled.size(), PollTimeoutMs(now)) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
    }
    if (polled[0].revents != 0) return;
    const Clock::time_point then = Clock::now();

    std::vector<HandOver> waiting = std::move(waiting_);
    waiting_.clear();
    for (size_t i = 0; i < waiting.size(); ++i) {
      HandOver& handOver = waiting[i];
      const bool ready = polled[waitingAt + i].revents != 0 || !handOver.bridge.Valid();
      if (ready) {
        const Step step = Advance(handOver);
        if (step != Step::Wait) {
          Settle(std::move(handOver), step);
          continue;
        }
      }
      if (then >= handOver.deadline) {
        Log(Uid(handOver.uid) + ": its bridge did not take a connection within 2 s; answered 503");
        Answer(std::move(handOver.client), kNotAnsweringAnswer);
        continue;
      }
      waiting_.push_back(std::move(handOver));
    }

    std::vector<Closing> closing = std::move(closing_);
    closing_.clear();
    for (size_t i = 0; i < closing.size(); ++i) {
      if (polled[closingAt + i].revents != 0 && !Drain(closing[i])) continue;
      if (then >= closing[i].deadline) continue;
      closing_.push_back(std::move(closing[i]));
    }

    for (size_t i = 0; i < listeners_.size(); ++i) {
      if (polled[1 + i].revents != 0) AcceptFrom(listeners_[i].descriptor.Get());
    }
  }
}

int Dispatcher::PollTimeoutMs(Clock::time_point now) const {
  Clock::time_point next = Clock::time_point::max();
  if (now < acceptPausedUntil_) next = acceptPausedUntil_;
  for (const HandOver& handOver : waiting_) {
    next = std::min(next, handOver.bridge.Valid() ? handOver.deadline : now + kRetryConnect);
  }
  for (const Closing& closing : closing_) next = std::min(next, closing.deadline);
  if (next == Clock::time_point::max()) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
  return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

void Dispatcher::AcceptFrom(int listener) {
  for (int i = 0; i < kAcceptBatch; ++i) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Dispatch(FileDescriptor(fd));
      continue;
    }
    if (errno == ECONNABORTED || errno == EINTR) continue;
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      Log(std::string("cannot accept a connection: ") + std::strerror(errno) +
          "; waiting a moment");
      acceptPausedUntil_ = Clock::now() + kAcceptPause;
    }
    return;
  }
}

size_t Dispatcher::WaitingOf(uid_t uid) const {
  return static_cast<size_t>(std::count_if(waiting_.begin(), waiting_.end(),
                                           [uid](const HandOver& h) { return h.uid == uid; }));
}

void Dispatcher::Dispatch(FileDescriptor client) {
  const std::optional<uid_t> uid = PeerProcessUid(client.Get());
  if (!uid) {
    Log("a connection whose process has gone or cannot be found; closed");
    return;
  }
  if (waiting_.size() >= kMaxWaiting || WaitingOf(*uid) >= kMaxWaitingPerUser) {
    Log(Uid(*uid) + ": too many connections wait for its bridge; answered 503");
    Answer(std::move(client), kNotAnsweringAnswer);
    return;
  }
  HandOver handOver{
      std::move(client), FileDescriptor(-1), *uid, Clock::now() + kHandOverTimeout, {}};
  const Step step = Advance(handOver);
  Settle(std::move(handOver), step);
}

Dispatcher::Step Dispatcher::Advance(HandOver& handOver) {
  if (!handOver.bridge.Valid()) {
    const std::string path = UserBridgeSocket(handOver.uid);
    FileDescriptor bridge(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!bridge.Valid()) {
      handOver.problem = std::string("cannot make a socket: ") + std::strerror(errno);
      return Step::NotRunning;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::connect(bridge.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      if (errno == EAGAIN) return Step::Wait;  // its queue is full: again shortly
      handOver.problem = path + ": " + std::strerror(errno);
      return Step::NotRunning;
    }
    // Only the user (or root) can make that name, but the kernel says who listens there.
    uid_t listener = 0;
    if (!UnixPeerUid(bridge.Get(), listener) || (listener != handOver.uid && listener != 0)) {
      handOver.problem = path + " is served by " + Uid(listener) + ", not by that user";
      return Step::NotRunning;
    }
    handOver.bridge = std::move(bridge);
  }
  const int error = SendDescriptor(handOver.bridge.Get(), handOver.client.Get());
  if (error == 0) return Step::Done;
  if (error == EAGAIN) return Step::Wait;
  handOver.problem = UserBridgeSocket(handOver.uid) + ": " + std::strerror(error);
  return Step::NotRunning;
}

void Dispatcher::Settle(HandOver handOver, Step step) {
  switch (step) {
    case Step::Done:
      // Both descriptors close here; the connection lives on in the bridge.
      return;
    case Step::Wait:
      waiting_.push_back(std::move(handOver));
      return;
    case Step::NotRunning:
      Log(Uid(handOver.uid) + ": no bridge running (" + handOver.problem + "); answered 503");
      Answer(std::move(handOver.client), kNotRunningAnswer);
      return;
  }
}

void Dispatcher::Answer(FileDescriptor client, const char* text) {
  const std::string body = std::string(text) + "\n";
  const std::string response =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
      "Content-Length: " +
      std::to_string(body.size()) +
      "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: "
      "close\r\n\r\n" +
      body;
  // A fresh connection's send buffer takes the answer whole.
  if (::send(client.Get(), response.data(), response.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0)
    return;
  ::shutdown(client.Get(), SHUT_WR);
  if (closing_.size() >= kMaxClosing) return;
  closing_.push_back({std::move(client), Clock::now() + kLinger});
}

bool Dispatcher::Drain(Closing& closing) {
  char discard[4096];
  for (;;) {
    const ssize_t got = ::recv(closing.client.Get(), discard, sizeof discard, MSG_DONTWAIT);
    if (got > 0) {
      closing.discarded += static_cast<size_t>(got);
      if (closing.discarded > kMaxDiscarded) return false;
      continue;
    }
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
  }
}

}  // namespace tavo::bridge
