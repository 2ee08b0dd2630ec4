#include "platform/core/TempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/core/Error.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& ansiTarget, int error) {
  throw Error("Cannot write the file " + ansiTarget + ": " +
              std::error_code(error, std::generic_category()).message());
}

std::string RandomSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kChars - 2);
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kChars[pick(random)];
  return suffix;
}

}  // namespace

TempFile::TempFile(const std::string& target, const std::string& ansiTarget)
    : target_(target), ansiTarget_(ansiTarget) {
  if (target_.empty() || target_.find('\0') != std::string::npos) Fail(ansiTarget, EINVAL);
  // A link to a file is written through, as opening the file would: its destination is replaced.
  std::error_code ec;
  if (fs::is_symlink(target_, ec)) {
    const fs::path resolved = fs::canonical(target_, ec);
    if (!ec) target_ = resolved.string();
  }
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) Fail(ansiTarget, EISDIR);

  fs::path directory = fs::path(target_).parent_path();
  if (directory.empty()) directory = ".";
  for (int attempt = 0; fd_ < 0; ++attempt) {
    path_ = (directory / (".tavo-" + RandomSuffix())).string();
    // Mode 0666 through the umask, as a newly created target would get.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) Fail(ansiTarget, errno);
  }
  if (exists && S_ISREG(existing.st_mode) && ::fchmod(fd_, existing.st_mode & 07777) != 0) {
    const int error = errno;
    ::close(fd_);
    ::unlink(path_.c_str());
    Fail(ansiTarget, error);
  }
}

TempFile::~TempFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!replaced_) ::unlink(path_.c_str());
}

bool TempFile::Write(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      writeError_ = written < 0 ? errno : ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

void TempFile::ReplaceTarget() {
  if (::fsync(fd_) != 0) Fail(ansiTarget_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail(ansiTarget_, errno);
  if (::rename(path_.c_str(), target_.c_str()) != 0) Fail(ansiTarget_, errno);
  replaced_ = true;
}

}  // namespace tavo
