// SIGTERM and SIGINT, the only ways the bridge ends, taken as a readable descriptor
// (signalfd) so that the event loop closes connections and workers in order instead of the
// process ending in the middle of a call.
#pragma once

namespace tavo::bridge {

class StopSignals {
 public:
  // Blocks both signals for the calling thread and the threads it starts later.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  int Descriptor() const { return fd_; }
  // The signal that arrived (after the descriptor turned readable).
  int Take() const;

 private:
  int fd_;
};

}  // namespace tavo::bridge
