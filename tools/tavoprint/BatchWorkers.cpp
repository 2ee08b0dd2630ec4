#include "BatchWorkers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "Automation.h"
#include "BatchReport.h"
#include "Translation.h"

namespace tavo::tool {
namespace {

volatile sig_atomic_t stopRequested = 0;

void OnStop(int) { stopRequested = 1; }

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

struct Worker {
  pid_t pid = -1;
  int commands = -1;  // the parent writes file numbers, one a line
  int reports = -1;   // the worker writes "NUMBER\tREPORT" lines
  std::optional<size_t> busy;
  std::string received;
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// A worker's life: file numbers in, reports out, until the parent closes the commands.
[[noreturn]] void WorkerMain(int commands, int reports, const MakeFileWork& makeWork) {
  // A Ctrl-C reaches the whole process group: the parent decides, the file under way finishes.
  ::signal(SIGINT, SIG_IGN);
  ::signal(SIGTERM, SIG_DFL);
  int status = 0;
  try {
    const FileWork work = makeWork();
    std::string pending;
    char buffer[256];
    for (;;) {
      const ssize_t got = ::read(commands, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      pending.append(buffer, static_cast<size_t>(got));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        const size_t file = std::stoul(pending.substr(0, end));
        pending.erase(0, end + 1);
        std::string report;
        try {
          report = work(file);
        } catch (const std::exception& failure) {
          report = FileFailureJson(failure.what());
        }
        if (!WriteAll(reports, std::to_string(file) + "\t" + report + "\n"))
          throw ToolFailure(1, "");
      }
    }
  } catch (const std::exception& failure) {
    // Its file is reported by the parent when the worker ends without answering.
    if (*failure.what())
      std::cerr << "tavoprint: " << Tr("a batch worker: %1", {failure.what()}) << "\n";
    status = 1;
  }
  std::cerr.flush();
  std::_Exit(status);
}

}  // namespace

struct StopOnSignal::Saved {
  struct sigaction interrupt {
  }, terminate{}, pipe{};
};

StopOnSignal::StopOnSignal() : saved_(std::make_unique<Saved>()) {
  stopRequested = 0;
  struct sigaction stop {};
  stop.sa_handler = OnStop;  // no SA_RESTART: a wait returns with EINTR
  sigemptyset(&stop.sa_mask);
  ::sigaction(SIGINT, &stop, &saved_->interrupt);
  ::sigaction(SIGTERM, &stop, &saved_->terminate);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &saved_->pipe);
}

StopOnSignal::~StopOnSignal() {
  ::sigaction(SIGINT, &saved_->interrupt, nullptr);
  ::sigaction(SIGTERM, &saved_->terminate, nullptr);
  ::sigaction(SIGPIPE, &saved_->pipe, nullptr);
}

bool StopOnSignal::Requested() { return stopRequested != 0; }

bool RunWorkers(size_t count, int workerCount, const MakeFileWork& makeWork, const FileDone& done) {
  const StopOnSignal signals;
  std::cout.flush();
  std::cerr.flush();
  std::vector<Worker> workers(static_cast<size_t>(workerCount));
  for (Worker& worker : workers) {
    int commands[2], reports[2];
    if (::pipe2(commands, O_CLOEXEC) != 0 || ::pipe2(reports, O_CLOEXEC) != 0)
      throw ToolFailure(1, Tr("cannot make the pipes of a batch worker"));
    worker.pid = ::fork();
    if (worker.pid < 0) throw ToolFailure(1, Tr("cannot start a batch worker"));
    if (worker.pid == 0) {
      for (Worker& other : workers) {
        if (&other == &worker) break;
        CloseFd(other.commands);
        CloseFd(other.reports);
      }
      ::close(commands[1]);
      ::close(reports[0]);
      WorkerMain(commands[0], reports[1], makeWork);
    }
    ::close(commands[0]);
    ::close(reports[1]);
    worker.commands = commands[1];
    worker.reports = reports[0];
  }

  size_t next = 0;
  auto handOut = [&](Worker& worker) {
    worker.busy.reset();
    if (stopRequested || next >= count || !WriteAll(worker.commands, std::to_string(next) + "\n")) {
      CloseFd(worker.commands);
      return;
    }
    worker.busy = next++;
  };
  for (Worker& worker : workers) handOut(worker);

  for (;;) {
    std::vector<pollfd> watched;
    std::vector<Worker*> owners;
    for (Worker& worker : workers) {
      if (stopRequested && !worker.busy) CloseFd(worker.commands);
      if (worker.reports < 0) continue;
      watched.push_back({worker.reports, POLLIN, 0});
      owners.push_back(&worker);
    }
    if (watched.empty()) break;
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      throw ToolFailure(1, Tr("cannot wait for the batch workers"));
    }
    for (size_t i = 0; i < watched.size(); ++i) {
      if (watched[i].revents == 0) continue;
      Worker& worker = *owners[i];
      char buffer[4096];
      const ssize_t got = ::read(worker.reports, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        CloseFd(worker.reports);
        CloseFd(worker.commands);
        if (worker.busy)
          done(*worker.busy, FileFailureJson(Tr("the worker process ended before it finished")));
        worker.busy.reset();
        continue;
      }
      worker.received.append(buffer, static_cast<size_t>(got));
      for (size_t end; (end = worker.received.find('\n')) != std::string::npos;) {
        const std::string line = worker.received.substr(0, end);
        worker.received.erase(0, end + 1);
        const size_t tab = line.find('\t');
        const size_t file = std::stoul(line.substr(0, tab));
        done(file,
             tab == std::string::npos ? FileFailureJson(Tr("no report")) : line.substr(tab + 1));
        handOut(worker);
      }
    }
  }
  for (Worker& worker : workers) {
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return !stopRequested;
}

}  // namespace tavo::tool
