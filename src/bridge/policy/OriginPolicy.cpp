#include "bridge/policy/OriginPolicy.h"

#include <cstdlib>

#include "bridge/policy/OriginRules.h"

namespace tavo::bridge {
namespace {

std::string_view Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

struct ParsedLine {
  bool blank = false;         // blank or a comment
  std::optional<bool> allow;  // nothing: a line of no known form
  std::optional<std::string> origin;
};

ParsedLine ParseLine(std::string_view raw) {
  const std::string_view line = Trim(raw);
  if (line.empty() || line.starts_with('#')) return {true, {}, {}};
  const size_t space = line.find_first_of(" \t");
  const std::string_view word = line.substr(0, space);
  const std::string_view rest = space == std::string_view::npos ? "" : Trim(line.substr(space));
  ParsedLine parsed;
  parsed.origin = NormalizeOrigin(rest);
  if (parsed.origin && (word == "allow" || word == "block")) parsed.allow = word == "allow";
  return parsed;
}

// Calls `each(line, parsed)` for every line of `text`, without its line end.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    each(line, ParseLine(line));
  }
}

bool SameStamp(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

std::filesystem::path UserPolicyLocation() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::filesystem::path(config) / "tavo" / "bridge-origins";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : ".") / ".config" / "tavo" / "bridge-origins";
}

std::filesystem::path MachinePolicyLocation() {
  const char* file = std::getenv("TAVO_MACHINE_POLICY");
  return file && *file ? file : "/etc/tavo/bridge-origins";
}

PolicyLines ParsePolicyLines(std::string_view text, const std::string& name) {
  PolicyLines lines;
  int number = 0;
  ForEachLine(text, [&](std::string_view line, const ParsedLine& parsed) {
    ++number;
    if (parsed.blank) return;
    if (!parsed.allow) {
      if (lines.problem.empty()) {
        lines.problem = name + ":" + std::to_string(number) +
                        ": expected \"allow ORIGIN\" or \"block ORIGIN\", found \"" +
                        std::string(Trim(line)) + "\"";
      }
      return;
    }
    (*parsed.allow ? lines.allowed : lines.blocked).insert(*parsed.origin);
  });
  return lines;
}

std::string WithOriginLine(std::string_view text, const std::string& origin,
                           std::optional<bool> allow) {
  const std::string wanted = allow ? (*allow ? "allow " : "block ") + origin : "";
  std::string out;
  bool placed = !allow;
  ForEachLine(text, [&](std::string_view line, const ParsedLine& parsed) {
    if (parsed.allow && parsed.origin == origin) {
      // The first line about the origin keeps its place, so saying it again changes nothing.
      if (placed) return;
      placed = true;
      const bool same = *parsed.allow == *allow;
      out.append(same ? line : std::string_view(wanted));
    } else {
      out.append(line);
    }
    out += '\n';
  });
  if (!placed) out += wanted + "\n";
  return out;
}

bool OriginPolicy::Reread(Source& source, bool always) {
  struct stat now {};
  std::optional<struct stat> stamp;
  if (::stat(source.file.c_str(), &now) == 0) stamp = now;
  const bool same =
      source.stamp.has_value() == stamp.has_value() && (!stamp || SameStamp(*source.stamp, *stamp));
  if (same && !always) return false;
  source.stamp = stamp;
  try {
    const std::optional<std::string> text = ReadPolicyFile(source.file);
    source.lines = ParsePolicyLines(text.value_or(""), source.file.string());
  } catch (const PolicyError& error) {
    source.lines = PolicyLines{{}, {}, error.what()};
  }
  return true;
}

OriginPolicy OriginPolicy::Load(const std::filesystem::path& file,
                                const std::filesystem::path& machineFile) {
  OriginPolicy policy;
  policy.user_.file = file;
  policy.machine_.file = machineFile;
  Reread(policy.user_, true);
  if (!policy.user_.lines.problem.empty()) throw PolicyError(policy.user_.lines.problem);
  Reread(policy.machine_, true);
  return policy;
}

std::vector<std::string> OriginPolicy::Refresh() {
  std::vector<std::string> problems;
  const PolicyLines userBefore = user_.lines;
  if (Reread(user_, false) && !user_.lines.problem.empty()) {
    problems.push_back(user_.lines.problem + "; its last good lines stay in force");
    user_.lines = userBefore;
  }
  if (Reread(machine_, false) && !machine_.lines.problem.empty()) {
    problems.push_back(machine_.lines.problem +
                       "; every origin that file names is refused until it is mended");
  }
  return problems;
}

bool OriginPolicy::AllowForRun(std::string_view origin) {
  const std::optional<std::string> normal = NormalizeOrigin(origin);
  if (!normal) return false;
  forRun_.insert(*normal);
  return true;
}

OriginDecision OriginPolicy::Decide(std::string_view origin) const {
  const std::optional<std::string> normal = NormalizeOrigin(origin);
  if (!normal) return OriginDecision::Blocked;
  const PolicyLines& machine = machine_.lines;
  // A machine file with a bad line may have meant to block what its good lines name.
  const bool machineBroken = !machine.problem.empty();
  if (user_.lines.blocked.contains(*normal) || machine.blocked.contains(*normal) ||
      (machineBroken && machine.allowed.contains(*normal)))
    return OriginDecision::Blocked;
  if (forRun_.contains(*normal) || user_.lines.allowed.contains(*normal) ||
      machine.allowed.contains(*normal))
    return OriginDecision::Allowed;
  return OriginDecision::Unknown;
}

void OriginPolicy::Remember(std::string_view origin, bool allow) {
  const std::optional<std::string> normal = NormalizeOrigin(origin);
  if (!normal) return;
  (allow ? user_.lines.allowed : user_.lines.blocked).insert(*normal);
  // The lock lives beside the file: the file itself is replaced by each rename.
  const PolicyLock lock(user_.file.string() + ".lock");
  // Read again under the lock: another process may have decided meanwhile.
  const std::string text = ReadPolicyFile(user_.file).value_or("");
  ReplacePolicyFile(user_.file, WithOriginLine(text, *normal, allow), 0600);
}

}  // namespace tavo::bridge
