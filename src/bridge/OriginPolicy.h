// The origin policy: which origins may open a connection. The file holds UTF-8 lines
// "allow ORIGIN" or "block ORIGIN"; "#" comments and blank lines are ignored; block wins over
// allow. Decisions a person makes to always allow or block are appended to it under a lock,
// landing by temporary file and rename, so a crash never leaves half a file and two bridges
// deciding at once lose nothing.
#pragma once

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavo::bridge {

enum class OriginDecision { Allowed, Blocked, Unknown };

// A policy file that cannot be used; the message names the file and the line.
struct PolicyError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class OriginPolicy {
 public:
  // The policy of `file`; a missing file is an empty policy. A PolicyError for a line of any
  // other form, or a file that cannot be read.
  static OriginPolicy Load(const std::filesystem::path& file);

  // Allows an origin for this run only (--allow). False when it is no origin.
  bool AllowForRun(std::string_view origin);

  // A missing origin, "null" and anything that is no origin are always Blocked.
  OriginDecision Decide(std::string_view origin) const;

  // Writes the decision to the file (and keeps it for this run). A PolicyError when the file
  // cannot be written.
  void Remember(std::string_view origin, bool allow);

  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
  std::set<std::string> allowed_, blocked_;
};

// The parsed lines of a policy text; `name` is the file named in the errors.
void ParsePolicyText(std::string_view text, const std::string& name, std::set<std::string>& allowed,
                     std::set<std::string>& blocked);

}  // namespace tavo::bridge
