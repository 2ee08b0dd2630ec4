#include "bridge/OriginPolicy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "bridge/OriginRules.h"
#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {
namespace {

std::string_view Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

std::string ReadWhole(const std::filesystem::path& file, bool& exists) {
  std::ifstream in(file, std::ios::binary);
  exists = static_cast<bool>(in);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

[[noreturn]] void Fail(const std::filesystem::path& file, const std::string& what) {
  throw PolicyError(file.string() + ": " + what + ": " + std::strerror(errno));
}

void WriteAll(int fd, std::string_view text, const std::filesystem::path& file) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail(file, "cannot write");
    text.remove_prefix(static_cast<size_t>(written));
  }
}

}  // namespace

void ParsePolicyText(std::string_view text, const std::string& name, std::set<std::string>& allowed,
                     std::set<std::string>& blocked) {
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    if (line.empty() || line.starts_with('#')) continue;
    const size_t space = line.find_first_of(" \t");
    const std::string_view word = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : Trim(line.substr(space));
    const std::optional<std::string> origin = NormalizeOrigin(rest);
    if ((word != "allow" && word != "block") || !origin) {
      throw PolicyError(name + ":" + std::to_string(number) +
                        ": expected \"allow ORIGIN\" or \"block ORIGIN\", found \"" +
                        std::string(line) + "\"");
    }
    (word == "allow" ? allowed : blocked).insert(*origin);
  }
}

OriginPolicy OriginPolicy::Load(const std::filesystem::path& file) {
  OriginPolicy policy;
  policy.file_ = file;
  bool exists = false;
  const std::string text = ReadWhole(file, exists);
  if (!exists && std::filesystem::exists(file)) Fail(file, "cannot read");
  ParsePolicyText(text, file.string(), policy.allowed_, policy.blocked_);
  return policy;
}

bool OriginPolicy::AllowForRun(std::string_view origin) {
  const std::optional<std::string> normal = NormalizeOrigin(origin);
  if (!normal) return false;
  allowed_.insert(*normal);
  return true;
}

OriginDecision OriginPolicy::Decide(std::string_view origin) const {
  const std::optional<std::string> normal = NormalizeOrigin(origin);
  if (!normal || blocked_.contains(*normal)) return OriginDecision::Blocked;
  return allowed_.contains(*normal) ? OriginDecision::Allowed : OriginDecision::Unknown;
}

void OriginPolicy::Remember(std::string_view origin, bool allow) {
  const std::optional<std::string> normal = NormalizeOrigin(origin);
  if (!normal) return;
  (allow ? allowed_ : blocked_).insert(*normal);

  std::error_code ignored;
  if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), ignored);
  // The lock lives beside the file: the file itself is replaced by each rename.
  const std::filesystem::path lockPath = file_.string() + ".lock";
  FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.Valid()) Fail(lockPath, "cannot open");
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) Fail(lockPath, "cannot lock");
  }
  // Read again under the lock: another process may have decided meanwhile.
  bool exists = false;
  std::string text = ReadWhole(file_, exists);
  if (!text.empty() && !text.ends_with('\n')) text += '\n';
  text += (allow ? "allow " : "block ") + *normal + "\n";

  const std::filesystem::path temporary = file_.string() + ".tmp." + std::to_string(::getpid());
  {
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!out.Valid()) Fail(temporary, "cannot create");
    WriteAll(out.Get(), text, temporary);
    if (::fsync(out.Get()) != 0) Fail(temporary, "cannot sync");
  }
  if (::rename(temporary.c_str(), file_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    Fail(file_, "cannot replace");
  }
}

}  // namespace tavo::bridge
