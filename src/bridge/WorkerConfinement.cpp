#include "bridge/WorkerConfinement.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/core/FileDescriptor.h"

// Rights of later kernels than the headers this is built with know.
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif

namespace tavo::bridge {
namespace fs = std::filesystem;
namespace {

constexpr uint64_t kRead = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr uint64_t kWriteAbi1 = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                                LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                                LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                                LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                                LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
// The rights a rule on a file (not a folder) may carry.
constexpr uint64_t kFileRights = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE |
                                 LANDLOCK_ACCESS_FS_TRUNCATE | LANDLOCK_ACCESS_FS_EXECUTE;

// Renames between folders need REFER once the kernel knows it (a ruleset without it forbids
// them all); truncating needs TRUNCATE from ABI 3.
uint64_t WriteRights(int abi) {
  uint64_t rights = kWriteAbi1;
  if (abi >= 2) rights |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3) rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
  return rights;
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

fs::path XdgFolder(const char* variable, const fs::path& home, const char* fallback) {
  const std::string value = Variable(variable);
  if (!value.empty() && value.front() == '/') return value;
  return home.empty() ? fs::path() : home / fallback;
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("Cannot confine the worker: " + what + ": " + std::strerror(errno));
}

class Ruleset {
 public:
  Ruleset(uint64_t handled) : handled_(handled) {
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = handled;
    fd_ = FileDescriptor(static_cast<int>(
        ::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0)));
    if (!fd_.Valid()) Fail("landlock_create_ruleset");
  }

  // Allows `rights` beneath `path`; a place that does not exist is skipped.
  void Allow(const fs::path& path, uint64_t rights) {
    if (path.empty()) return;
    FileDescriptor at(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!at.Valid()) return;
    struct stat info {};
    if (::fstat(at.Get(), &info) != 0) return;
    if (!S_ISDIR(info.st_mode)) rights &= kFileRights;
    landlock_path_beneath_attr rule{};
    rule.allowed_access = rights & handled_;
    rule.parent_fd = at.Get();
    if (rule.allowed_access == 0) return;
    if (::syscall(SYS_landlock_add_rule, fd_.Get(), LANDLOCK_RULE_PATH_BENEATH, &rule, 0) != 0)
      Fail("landlock_add_rule " + path.string());
  }

  void RestrictSelf() {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) Fail("no_new_privs");
    if (::syscall(SYS_landlock_restrict_self, fd_.Get(), 0) != 0) Fail("landlock_restrict_self");
  }

 private:
  uint64_t handled_;
  FileDescriptor fd_{-1};
};

}  // namespace

WorkerConfinement ConfinementFor(const fs::path& pageFolder, const fs::path& tempFolder,
                                 const fs::path& moduleFolder,
                                 const std::vector<fs::path>& registryFiles) {
  WorkerConfinement confinement;
  std::error_code error;
  const std::string homeText = Variable("HOME");
  const fs::path home = homeText.empty() ? fs::path() : fs::weakly_canonical(homeText, error);
  // A home that is the whole tree, or none, leaves reads as they are.
  if (!home.empty() && home.is_absolute() && home != home.root_path()) confinement.home = home;

  const fs::path cache = XdgFolder("XDG_CACHE_HOME", home, ".cache") / "fontconfig";
  if (!cache.empty()) fs::create_directories(cache, error);
  confinement.writable = {pageFolder, tempFolder, cache, "/dev/null"};

  const fs::path config = XdgFolder("XDG_CONFIG_HOME", home, ".config");
  const fs::path data = XdgFolder("XDG_DATA_HOME", home, ".local/share");
  confinement.readable = {moduleFolder, config / "fontconfig", data / "fonts", data / "icons"};
  if (!home.empty()) {
    // CUPS's client settings and the user's default printer; the older font and cursor places.
    for (const char* place : {".cups", ".fonts", ".fonts.conf", ".fonts.conf.d", ".icons"})
      confinement.readable.push_back(home / place);
  }
  const std::string xauthority = Variable("XAUTHORITY");
  confinement.readable.push_back(xauthority.empty() ? home / ".Xauthority" : fs::path(xauthority));
  for (const fs::path& file : registryFiles) {
    confinement.readable.push_back(file);
    confinement.readable.push_back(file.string() + ".lock");
  }
  return confinement;
}

int LandlockAbi() {
  const long abi =
      ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi < 0 ? 0 : static_cast<int>(abi);
}

int ApplyConfinement(const WorkerConfinement& confinement) {
  const int abi = LandlockAbi();
  if (abi == 0) return 0;
  const uint64_t write = WriteRights(abi);
  const bool confineReads = !confinement.home.empty();
  Ruleset rules(write | (confineReads ? kRead : 0));
  for (const fs::path& place : confinement.writable) rules.Allow(place, write | kRead);
  if (confineReads) {
    for (const fs::path& place : confinement.readable) rules.Allow(place, kRead);
    // Every top-level folder but the one that leads to the home: the system's files, the
    // scheduler's and the display's sockets, the temporary folder.
    const fs::path homeTop =
        confinement.home.root_path() / *confinement.home.relative_path().begin();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/", error)) {
      if (entry.path() != homeTop) rules.Allow(entry.path(), kRead);
    }
  }
  rules.RestrictSelf();
  return abi;
}

}  // namespace tavo::bridge
