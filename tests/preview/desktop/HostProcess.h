// A host program running in the background while the test acts as its user, with its output
// collected in files; killed if it is still running when the test ends.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavo::test {

class HostProcess {
 public:
  // Starts `argv` with this process's environment changed by `set` (an empty value unsets).
  HostProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& set);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // The exit status once it has ended within `seconds`: its code, or 128 + the signal that
  // ended it, as a shell reports it; none while it still runs.
  std::optional<int> WaitForExit(int seconds);
  std::string Output() const;  // standard output and error

 private:
  pid_t pid_ = -1;
  std::filesystem::path log_;
};

}  // namespace tavo::test
