#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

#include "platform/core/Error.h"
#include "platform/core/FileDescriptor.h"
#include "platform/registry/RegistryText.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kNewFileMode = 0644;

// Removes a temporary file on every path unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!committed_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void Commit() { committed_ = true; }

 private:
  std::string path_;
  bool committed_ = false;
};

[[noreturn]] void Fail(const std::string& what, const fs::path& file, int error) {
  throw Error(what + " '" + file.string() + "': " + std::system_category().message(error));
}

fs::path LockPath(const fs::path& file) { return file.string() + ".lock"; }
std::string TemporaryPrefix(const fs::path& file) { return file.filename().string() + ".tmp."; }

void Lock(const FileDescriptor& fd, int operation, const fs::path& file) {
  while (::flock(fd.Get(), operation) != 0)
    if (errno != EINTR) Fail("Cannot lock the registry file", file, errno);
}

struct FileContents {
  std::string text;
  mode_t mode;
};

// The whole file, or nothing when it does not exist.
std::optional<FileContents> ReadWhole(const fs::path& file) {
  // Non-blocking, so that a pipe in the file's place cannot hang the open.
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid()) {
    if (errno == ENOENT) return std::nullopt;
    Fail("Cannot open the registry file", file, errno);
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) Fail("Cannot read the registry file", file, errno);
  if (!S_ISREG(status.st_mode))
    throw Error("The registry file '" + file.string() + "' is not a regular file");
  const auto tooLarge = [&] {
    return Error("The registry file '" + file.string() + "' is larger than " +
                 std::to_string(kMaxRegistryFileSize >> 20) + " MiB");
  };
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxRegistryFileSize) throw tooLarge();
  FileContents contents{{}, static_cast<mode_t>(status.st_mode & 07777)};
  char buffer[65536];
  while (true) {
    const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot read the registry file", file, errno);
    }
    if (count == 0) return contents;
    contents.text.append(buffer, static_cast<size_t>(count));
    if (contents.text.size() > kMaxRegistryFileSize) throw tooLarge();
  }
}

void WriteAll(const FileDescriptor& fd, std::string_view text, const fs::path& file) {
  while (!text.empty()) {
    const ssize_t count = ::write(fd.Get(), text.data(), text.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write the registry file", file, errno);
    }
    text.remove_prefix(static_cast<size_t>(count));
  }
}

// Temporaries exist only while a writer holds the exclusive lock; under the lock, any that
// remain were left by a writer that died.
void RemoveStaleTemporaries(const fs::path& file) {
  const std::string prefix = TemporaryPrefix(file);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(file.parent_path(), error)) {
    if (entry.path().filename().string().starts_with(prefix)) fs::remove(entry.path(), error);
  }
}

// Writes a temporary beside the file, makes it durable, then renames it over the file.
void ReplaceWhole(const fs::path& file, std::string_view text, mode_t mode) {
  std::string temporaryPath = (file.parent_path() / TemporaryPrefix(file)).string() + "XXXXXX";
  FileDescriptor fd(::mkostemp(temporaryPath.data(), O_CLOEXEC));
  if (!fd.Valid()) Fail("Cannot create a temporary file beside the registry file", file, errno);
  TemporaryFile temporary(temporaryPath);
  if (::fchmod(fd.Get(), mode) != 0) Fail("Cannot write the registry file", file, errno);
  WriteAll(fd, text, file);
  if (::fsync(fd.Get()) != 0 || fd.Close() != 0)
    Fail("Cannot write the registry file", file, errno);
  if (::rename(temporaryPath.c_str(), file.c_str()) != 0)
    Fail("Cannot replace the registry file", file, errno);
  temporary.Commit();
  // The rename is visible already; syncing the folder only makes it survive a power loss.
  FileDescriptor folder(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) ::fsync(folder.Get());
}

fs::path WithFolder(const fs::path& file) {
  return file.has_parent_path() ? file : fs::path(".") / file;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr)
    return user->pw_dir;
  throw Error("Cannot find the registry: neither TAVO_REGISTRY nor a home folder is set");
}

}  // namespace

fs::path RegistryLocation() {
  if (const char* file = std::getenv("TAVO_REGISTRY"); file != nullptr && *file != '\0')
    return file;
  fs::path data;
  // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
    data = xdg;
  else
    data = fs::path(HomeFolder()) / ".local" / "share";
  return data / "tavo" / "registry.reg";
}

fs::path MachineRegistryLocation() {
  if (const char* file = std::getenv("TAVO_MACHINE_REGISTRY"); file != nullptr && *file != '\0')
    return file;
  return "/var/lib/tavo/registry.reg";
}

RegistryTree ReadRegistry() {
  const RegistryTree user = ReadRegistryFile(RegistryLocation());
  if (const char* file = std::getenv("TAVO_REGISTRY"); file != nullptr && *file != '\0')
    return user;
  return MergeRegistries(ReadRegistryFile(MachineRegistryLocation()), user);
}

RegistryTree MergeRegistries(RegistryTree machine, const RegistryTree& user) {
  for (const std::string& key : user.KeyPaths()) {
    machine.CreateKey(key);
    for (const std::string& name : machine.ValueNames(key)) machine.DeleteValue(key, name);
    for (const std::string& name : user.ValueNames(key))
      machine.SetTypedValue(key, name, *user.FindValue(key, name));
  }
  return machine;
}

RegistryTree ReadRegistryFile(const fs::path& file) {
  // The shared lock waits out a writer in progress. Without a lock file no writer has run; a
  // reader without access to it still reads a whole file, as writers replace it by rename.
  FileDescriptor lock(::open(LockPath(file).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (lock.Valid()) Lock(lock, LOCK_SH, file);
  const auto contents = ReadWhole(file);
  return contents ? ParseRegistryText(contents->text, file.string()) : RegistryTree{};
}

void ModifyRegistry(const std::function<void(RegistryTree&)>& change) {
  ModifyRegistryFile(RegistryLocation(), change);
}

void ModifyRegistryFile(const fs::path& path, const std::function<void(RegistryTree&)>& change) {
  const fs::path file = WithFolder(path);
  std::error_code error;
  fs::create_directories(file.parent_path(), error);
  if (error)
    throw Error("Cannot create the folder of the registry file '" + file.string() +
                "': " + error.message());
  FileDescriptor lock(::open(LockPath(file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode));
  if (!lock.Valid()) Fail("Cannot lock the registry file", file, errno);
  Lock(lock, LOCK_EX, file);

  const auto contents = ReadWhole(file);
  const RegistryTree before =
      contents ? ParseRegistryText(contents->text, file.string()) : RegistryTree{};
  RegistryTree after = before;
  change(after);
  if (after == before) return;
  RemoveStaleTemporaries(file);
  ReplaceWhole(file, FormatRegistryText(after), contents ? contents->mode : kNewFileMode);
}

}  // namespace tavo
