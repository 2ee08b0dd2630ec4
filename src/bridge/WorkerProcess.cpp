#include "bridge/WorkerProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "platform/core/FileDescriptor.h"

extern char** environ;

namespace tavo::bridge {
namespace {

// posix_spawn's attributes and file actions, destroyed on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  SpawnSetup() { posix_spawn_file_actions_init(&actions); }
  ~SpawnSetup() { posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

StartedWorker StartWorker(const std::string& program, const std::filesystem::path& folder) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw std::runtime_error(std::string("cannot make a socket pair: ") + std::strerror(errno));
  FileDescriptor mine(ends[0]);
  FileDescriptor theirs(ends[1]);

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, theirs.Get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, STDERR_FILENO, STDOUT_FILENO);
  posix_spawn_file_actions_addchdir_np(&setup.actions, folder.c_str());
  std::string name = program;
  std::string flag = "--worker";
  char* argv[] = {name.data(), flag.data(), nullptr};
  pid_t pid = -1;
  const int status = ::posix_spawn(&pid, program.c_str(), &setup.actions, nullptr, argv, environ);
  if (status != 0)
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(status));
  return StartedWorker{pid, ::fcntl(mine.Get(), F_DUPFD_CLOEXEC, 0)};
}

}  // namespace tavo::bridge
