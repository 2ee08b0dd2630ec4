// Starting a page's worker: `PROGRAM --worker` with one end of a socket pair as its standard
// input, its standard output joined to standard error, and the page's folder as its working
// directory.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace tavo::bridge {

struct StartedWorker {
  pid_t pid = -1;
  int socket = -1;  // the bridge's end, owned by the caller
};

// A failure is an exception naming the reason.
StartedWorker StartWorker(const std::string& program, const std::filesystem::path& folder);

}  // namespace tavo::bridge
