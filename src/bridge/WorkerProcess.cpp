#include "bridge/WorkerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include "platform/core/FileDescriptor.h"

extern char** environ;

namespace tavo::bridge {
namespace {

// posix_spawn's attributes and file actions, destroyed on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
};

bool Kept(std::string_view entry) {
  static constexpr std::string_view kNames[] = {
      "HOME",         "USER",         "LOGNAME",      "PATH",
      "LANG",         "LANGUAGE",     "DISPLAY",      "WAYLAND_DISPLAY",
      "XAUTHORITY",   "CUPS_SERVER",  "LOCPATH",      "DBUS_SESSION_BUS_ADDRESS",
      "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"};
  static constexpr std::string_view kPrefixes[] = {"LC_", "XDG_", "TAVO_", "QT_", "FONTCONFIG_"};
  const std::string_view name = entry.substr(0, entry.find('='));
  return std::any_of(std::begin(kNames), std::end(kNames),
                     [name](std::string_view kept) { return name == kept; }) ||
         std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                     [name](std::string_view prefix) { return name.starts_with(prefix); });
}

}  // namespace

std::vector<std::string> WorkerEnvironment(const char* const* environment,
                                           const std::filesystem::path& tempFolder) {
  std::vector<std::string> kept;
  for (const char* const* entry = environment; entry && *entry; ++entry) {
    if (Kept(*entry)) kept.emplace_back(*entry);
  }
  kept.push_back("TMPDIR=" + tempFolder.string());
  return kept;
}

StartedWorker StartWorker(const std::string& program, const std::filesystem::path& folder,
                          const std::filesystem::path& tempFolder) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw std::runtime_error(std::string("cannot make a socket pair: ") + std::strerror(errno));
  FileDescriptor mine(ends[0]);
  FileDescriptor theirs(ends[1]);

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, theirs.Get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, STDERR_FILENO, STDOUT_FILENO);
  // Nothing of the bridge's own: its listening sockets, other pages' links, what it inherited.
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
  posix_spawn_file_actions_addchdir_np(&setup.actions, folder.c_str());
  // The bridge ignores SIGCHLD and SIGPIPE; the control and what it starts expect defaults.
  sigset_t all;
  sigfillset(&all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&setup.attributes, &all);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> environment = WorkerEnvironment(environ, tempFolder);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string name = program;
  std::string flag = "--worker";
  char* argv[] = {name.data(), flag.data(), nullptr};
  pid_t pid = -1;
  const int status =
      ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv, envp.data());
  if (status != 0)
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(status));
  return StartedWorker{pid, ::fcntl(mine.Get(), F_DUPFD_CLOEXEC, 0)};
}

}  // namespace tavo::bridge
