#include "preview/desktop/HostProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tools/Subprocess.h"

namespace tavo::test {

HostProcess::HostProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& set)
    : log_(std::filesystem::temp_directory_path() /
           ("tavo-host-" + std::to_string(::getpid()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
  std::vector<std::string> args = argv;
  testing::ProcessEnvironment changes;  // an empty value takes the name out
  for (const auto& [name, value] : set) {
    if (value.empty())
      changes.unset.push_back(name);
    else
      changes.set[name] = value;
  }
  std::vector<std::string> env = testing::ChildEnvironment(changes);
  auto argPointers = testing::Pointers(args);
  auto envPointers = testing::Pointers(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argPointers.data(),
                    envPointers.data()) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

HostProcess::~HostProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  std::error_code ignored;
  std::filesystem::remove(log_, ignored);
}

std::optional<int> HostProcess::WaitForExit(int seconds) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  do {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

std::string HostProcess::Output() const {
  std::ifstream in(log_, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tavo::test
