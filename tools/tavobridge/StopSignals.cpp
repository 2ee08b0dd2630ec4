#include "StopSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tavo::bridge {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

StopSignals::StopSignals() {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd_ < 0)
    throw std::runtime_error(std::string("cannot take signals: ") + std::strerror(errno));
}

StopSignals::~StopSignals() { ::close(fd_); }

int StopSignals::Take() const {
  signalfd_siginfo info{};
  const ssize_t got = ::read(fd_, &info, sizeof info);
  return got == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : SIGTERM;
}

}  // namespace tavo::bridge
