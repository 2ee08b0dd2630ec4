// The system's side of the bridge's port: systemd holds 127.0.0.1:17370 and [::1]:17370 and
// passes the listening sockets to `tavobridge --dispatch`, which hands every connection, unread,
// to the bridge of the user whose process made it (at /run/user/UID/tavo/bridge.sock), or
// answers 503 when that user has none. One user's bridge never holds up another's connections:
// nothing here waits on a bridge, and a hand-over that cannot go through in time is answered.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "bridge/SocketActivation.h"
#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {

inline constexpr const char* kNotRunningAnswer = "The print control is not running for this user";
inline constexpr const char* kNotAnsweringAnswer =
    "The print control is not answering for this user";

class Dispatcher {
 public:
  Dispatcher(std::vector<PassedSocket> listeners, int stopDescriptor);
  // Serves until the stop descriptor turns readable.
  void Run();

 private:
  using Clock = std::chrono::steady_clock;
  struct HandOver {
    FileDescriptor client;
    FileDescriptor bridge{-1};  // once connected to the user's bridge
    uid_t uid = 0;
    Clock::time_point deadline;
    std::string problem;  // why it cannot be handed over
  };
  // An answered connection, read and discarded until its client closes, so that its close
  // does not reset the connection before the client has read the answer.
  struct Closing {
    FileDescriptor client;
    Clock::time_point deadline;
    size_t discarded = 0;
  };
  enum class Step { Done, Wait, NotRunning };

  void AcceptFrom(int listener);
  void Dispatch(FileDescriptor client);
  Step Advance(HandOver& handOver);
  void Settle(HandOver handOver, Step step);
  void Answer(FileDescriptor client, const char* text);
  bool Drain(Closing& closing);
  int PollTimeoutMs(Clock::time_point now) const;
  size_t WaitingOf(uid_t uid) const;

  std::vector<PassedSocket> listeners_;
  int stop_;
  std::vector<HandOver> waiting_;
  std::vector<Closing> closing_;
  Clock::time_point acceptPausedUntil_;
};

}  // namespace tavo::bridge
