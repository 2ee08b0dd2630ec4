#include "bridge/policy/PolicyFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace tavo::bridge {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void Fail(const fs::path& file, const std::string& what) {
  throw PolicyError(file.string() + ": " + what + ": " + std::strerror(errno));
}

void MakeFolder(const fs::path& file) {
  if (!file.has_parent_path()) return;
  std::error_code error;
  fs::create_directories(file.parent_path(), error);
  if (error) {
    errno = error.value();
    Fail(file.parent_path(), "cannot make the folder");
  }
}

void WriteAll(int fd, std::string_view text, const fs::path& file) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail(file, "cannot write");
    text.remove_prefix(static_cast<size_t>(written));
  }
}

}  // namespace

PolicyLock::PolicyLock(const fs::path& file) : fd_(-1) {
  MakeFolder(file);
  // Never through a link another program planted in the folder.
  fd_ = FileDescriptor(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd_.Valid()) Fail(file, "cannot open");
  while (::flock(fd_.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) Fail(file, "cannot lock");
  }
}

std::optional<std::string> ReadPolicyFile(const fs::path& file) {
  FileDescriptor in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) {
    if (errno == ENOENT) return std::nullopt;
    Fail(file, "cannot read");
  }
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(in.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail(file, "cannot read");
    if (got == 0) return text;
    text.append(buffer, static_cast<size_t>(got));
  }
}

bool ReplacePolicyFile(const fs::path& file, std::string_view text, mode_t mode) {
  if (ReadPolicyFile(file) == text) return false;
  MakeFolder(file);
  // A dot name: the browsers read every file of their policy folders but hidden ones.
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  fs::path temporary;
  FileDescriptor out(-1);
  for (int attempt = 0; !out.Valid(); ++attempt) {
    temporary = folder / ("." + file.filename().string() + ".tmp." + std::to_string(::getpid()) +
                          "." + std::to_string(std::random_device{}()));
    out = FileDescriptor(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out.Valid() && (errno != EEXIST || attempt == 100)) Fail(temporary, "cannot create");
  }
  try {
    // The mode asked for, whatever the umask: the machine's files are read by every user.
    if (::fchmod(out.Get(), mode) != 0) Fail(temporary, "cannot set the mode of");
    WriteAll(out.Get(), text, temporary);
    if (::fsync(out.Get()) != 0) Fail(temporary, "cannot sync");
    if (out.Close() != 0) Fail(temporary, "cannot close");
    if (::rename(temporary.c_str(), file.c_str()) != 0) Fail(file, "cannot replace");
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  return true;
}

bool RemovePolicyFile(const fs::path& file) {
  if (::unlink(file.c_str()) == 0) return true;
  if (errno == ENOENT) return false;
  Fail(file, "cannot remove");
}

}  // namespace tavo::bridge
