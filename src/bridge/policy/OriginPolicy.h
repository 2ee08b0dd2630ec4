// The origin policy: which origins may open a connection. Two files of UTF-8 lines "allow
// ORIGIN" or "block ORIGIN" ("#" comments and blank lines ignored): the user's, and the
// machine's that an administrator keeps for every user. A block line in either wins; an allow
// in either needs no prompt. Decisions a person makes to always allow or block go to the user's
// file under a lock, landing by temporary file and rename.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/policy/PolicyFile.h"

namespace tavo::bridge {

enum class OriginDecision { Allowed, Blocked, Unknown };

// The user's file: $XDG_CONFIG_HOME/tavo/bridge-origins, ~/.config/tavo/bridge-origins when
// that is not set to an absolute path.
std::filesystem::path UserPolicyLocation();
// The machine's file: TAVO_MACHINE_POLICY when set, else /etc/tavo/bridge-origins.
std::filesystem::path MachinePolicyLocation();

// The lines of one policy file that could be read; `problem` names the file and line of the
// first line of any other form (empty when there is none).
struct PolicyLines {
  std::set<std::string> allowed, blocked;
  std::string problem;
};

// The lines of a policy text; `name` is the file named in the problem.
PolicyLines ParsePolicyLines(std::string_view text, const std::string& name);

// The policy text saying `allow` of `origin` (normalized): an "allow ORIGIN" or "block ORIGIN"
// line in the place of the first line about it (at the end when there is none), nothing about
// it when `allow` is not given; other lines stay as they are, so saying it again changes nothing.
std::string WithOriginLine(std::string_view text, const std::string& origin,
                           std::optional<bool> allow);

class OriginPolicy {
 public:
  // The policy of the user's `file` and the machine's `machineFile`; a missing file is empty. A
  // PolicyError for a line of any other form in the user's file, or one that cannot be read.
  // A machine file with such a line does not stop the bridge: its problem is kept
  // (MachineProblem) and every origin its lines name is refused until it is mended.
  static OriginPolicy Load(const std::filesystem::path& file,
                           const std::filesystem::path& machineFile);

  // Allows an origin for this run only (--allow). False when it is no origin.
  bool AllowForRun(std::string_view origin);

  // A missing origin, "null" and anything that is no origin are always Blocked.
  OriginDecision Decide(std::string_view origin) const;

  // Writes the decision to the user's file (and keeps it for this run). A PolicyError when the
  // file cannot be written.
  void Remember(std::string_view origin, bool allow);

  // Reads a file again that changed since it was read: an administrator's `tavoprint site`
  // or another bridge's decision counts at once. A user's file that has turned bad keeps its
  // last good lines. Answers the problems found, for the log.
  std::vector<std::string> Refresh();

  const std::filesystem::path& File() const { return user_.file; }
  const std::filesystem::path& MachineFile() const { return machine_.file; }
  const std::string& MachineProblem() const { return machine_.lines.problem; }

 private:
  struct Source {
    std::filesystem::path file;
    std::optional<struct stat> stamp;  // as last read; nothing: there was no file
    PolicyLines lines;
  };
  // Reads `source` when its file differs from its stamp, or `always`; true when it did.
  static bool Reread(Source& source, bool always);

  Source user_, machine_;
  std::set<std::string> forRun_;
};

}  // namespace tavo::bridge
