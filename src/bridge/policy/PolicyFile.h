// Writing the policy files, the bridge's origin files and the browsers' policies alike: one
// writer at a time under a lock file, each file replaced whole through a temporary file beside
// it and a rename, so a crash never leaves half a file and two writers at once lose nothing.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {

// A policy file that cannot be used; the message names the file (and the line).
struct PolicyError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An exclusive lock on `file` (made 0600 when missing, never through a link), held while
// the object lives. Its folder is made when missing.
class PolicyLock {
 public:
  explicit PolicyLock(const std::filesystem::path& file);

 private:
  FileDescriptor fd_;
};

// The text of `file`; nothing when there is no such file. A PolicyError when it cannot be read.
std::optional<std::string> ReadPolicyFile(const std::filesystem::path& file);

// Replaces `file` by `text`: a new temporary file beside it (O_EXCL, never through a link) with
// `mode`, synced, renamed over it. False, and nothing touched, when it holds that text already.
// Folders on the way are made (0755). A PolicyError naming the file when it cannot be written.
bool ReplacePolicyFile(const std::filesystem::path& file, std::string_view text, mode_t mode);

// Removes `file`; false when there was none. A PolicyError when it cannot be removed.
bool RemovePolicyFile(const std::filesystem::path& file);

}  // namespace tavo::bridge
