#include "bridge/PageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <random>
#include <system_error>

#include "platform/core/Base64.h"
#include "platform/core/Error.h"
#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {
namespace {

[[noreturn]] void Fail(const std::filesystem::path& relative, int error) {
  throw Error("Cannot write the file " + relative.string() + ": " +
              std::error_code(error, std::generic_category()).message());
}

std::string TemporaryName() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  return ".tavo-" + std::to_string(random());
}

// The folder `name` inside `parent`, made when missing; never through a link.
FileDescriptor OpenFolder(int parent, const std::string& name, const std::filesystem::path& shown) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  FileDescriptor folder(::openat(parent, name.c_str(), kFlags));
  if (!folder.Valid() && errno == ENOENT) {
    if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) Fail(shown, errno);
    return OpenFolder(parent, name, shown);
  }
  if (!folder.Valid()) Fail(shown, errno == ENOTDIR ? ELOOP : errno);
  return folder;
}

void WriteAll(int fd, std::string_view text, const std::filesystem::path& shown) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail(shown, written < 0 ? errno : ENOSPC);
    text.remove_prefix(static_cast<size_t>(written));
  }
}

}  // namespace

void WritePageFile(const std::filesystem::path& folder, const std::filesystem::path& relative,
                   std::string_view text) {
  if (relative.is_absolute() || relative.filename().empty()) Fail(relative, EINVAL);
  FileDescriptor at(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!at.Valid()) Fail(relative, errno);
  for (const std::filesystem::path& part : relative.parent_path()) {
    if (part == ".." || part == ".") Fail(relative, EINVAL);
    at = OpenFolder(at.Get(), part.string(), relative);
  }
  const std::string name = relative.filename().string();
  if (name == "..") Fail(relative, EINVAL);

  // An existing file keeps its mode; a new one gets 0666 less the umask.
  struct stat existing {};
  const bool exists = ::fstatat(at.Get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISDIR(existing.st_mode)) Fail(relative, EISDIR);
  std::string temporary;
  FileDescriptor out(-1);
  for (int attempt = 0; !out.Valid(); ++attempt) {
    temporary = TemporaryName();
    out = FileDescriptor(::openat(at.Get(), temporary.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out.Valid() && (errno != EEXIST || attempt == 100)) Fail(relative, errno);
  }
  try {
    if (exists && S_ISREG(existing.st_mode) && ::fchmod(out.Get(), existing.st_mode & 07777) != 0)
      Fail(relative, errno);
    WriteAll(out.Get(), text, relative);
    if (::fsync(out.Get()) != 0 || out.Close() != 0) Fail(relative, errno);
    // The rename replaces a link of that name itself, never what it points to.
    if (::renameat(at.Get(), temporary.c_str(), at.Get(), name.c_str()) != 0) Fail(relative, errno);
  } catch (...) {
    ::unlinkat(at.Get(), temporary.c_str(), 0);
    throw;
  }
}

void WritePageFileFromBase64(const std::filesystem::path& folder,
                             const std::filesystem::path& relative, std::string_view base64) {
  // The decoder skips what is not of its alphabet; here only line breaks and blanks may be.
  const bool base64Text = std::all_of(base64.begin(), base64.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=' ||
           c == '\r' || c == '\n' || c == ' ';
  });
  if (!base64Text)
    throw Error("Cannot write the file " + relative.string() + ": the data is not Base64 text");
  const std::vector<uint8_t> bytes = DecodeBase64(base64);
  WritePageFile(folder, relative,
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace tavo::bridge
