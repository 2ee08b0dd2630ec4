#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/core/Error.h"
#include "platform/registry/Registry.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "tavo-registry-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code error;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// Sets or removes an environment variable while it lives.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnvironment() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `body` in a child process and returns its wait status; the child exits 0 unless `body`
// returns false or throws.
template <typename Body>
int InChild(Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    bool ok = false;
    try {
      ok = body();
    } catch (...) {
    }
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

void Register(const fs::path& file, const std::string& key, const std::string& value) {
  ModifyRegistryFile(file, [&](RegistryTree& tree) { tree.SetValue(key, "", value); });
}

TEST(RegistryFile, LocationFollowsTheEnvironment) {
  struct Case {
    const char* registry;
    const char* xdg;
    const char* home;
    const char* expected;
  };
  const std::vector<Case> cases{
      {"/etc/r.reg", "/xdg", "/home/u", "/etc/r.reg"},
      {nullptr, "/xdg", "/home/u", "/xdg/tavo/registry.reg"},
      {"", "/xdg", "/home/u", "/xdg/tavo/registry.reg"},
      {nullptr, nullptr, "/home/u", "/home/u/.local/share/tavo/registry.reg"},
      {nullptr, "relative/xdg", "/home/u", "/home/u/.local/share/tavo/registry.reg"},
  };
  for (const Case& c : cases) {
    ScopedEnvironment registry("TAVO_REGISTRY", c.registry);
    ScopedEnvironment xdg("XDG_DATA_HOME", c.xdg);
    ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(RegistryLocation(), fs::path(c.expected));
  }
}

TEST(RegistryFile, ChangesLandInTheFileAndAMissingFileIsEmpty) {
  TemporaryFolder folder;
  const fs::path file = folder.Path() / "sub" / "registry.reg";
  ScopedEnvironment registry("TAVO_REGISTRY", file.c_str());
  EXPECT_EQ(ReadRegistry(), RegistryTree());

  ModifyRegistry([](RegistryTree& tree) {
    tree.SetValue("CLSID\\{0A1B}\\InprocServer32", "", "/opt/tavo/模块.so");
  });
  EXPECT_EQ(ReadRegistry().GetValue("clsid\\{0a1b}\\inprocserver32", ""), "/opt/tavo/模块.so");
  EXPECT_THAT(ReadText(file), HasSubstr("@=\"/opt/tavo/模块.so\""));
  EXPECT_EQ(FolderEntries(file.parent_path()),
            (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryFile, AFailedOrEmptyChangeLeavesTheFileAlone) {
  TemporaryFolder folder;
  const fs::path file = folder.Path() / "registry.reg";
  Register(file, "A", "1");
  const auto inode = [&] {
    struct stat status {};
    ::stat(file.c_str(), &status);
    return status.st_ino;
  };
  const auto before = inode();
  EXPECT_THROW(ModifyRegistryFile(file,
                                  [](RegistryTree& tree) {
                                    tree.SetValue("B", "", "2");
                                    throw Error("changed my mind");
                                  }),
               Error);
  ModifyRegistryFile(file, [](RegistryTree& tree) { tree.SetValue("a", "", "1"); });
  EXPECT_EQ(inode(), before);
  EXPECT_FALSE(ReadRegistryFile(file).KeyExists("B"));
}

TEST(RegistryFile, ADamagedFileIsAnErrorAndIsNeverEmptied) {
  TemporaryFolder folder;
  const fs::path file = folder.Path() / "registry.reg";
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\A]\n@=\"cut off\n";
  WriteText(file, damaged);
  try {
    ReadRegistryFile(file);
    FAIL() << "a damaged file was read";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("'" + file.string() + "' is damaged at line 4"));
  }
  EXPECT_THROW(Register(file, "B", "x"), Error);
  EXPECT_EQ(ReadText(file), damaged);
}

TEST(RegistryFile, OversizedFilesAndNonFilesAreRefused) {
  TemporaryFolder folder;
  const fs::path big = folder.Path() / "big.reg";
  { std::ofstream(big) << ""; }
  fs::resize_file(big, kMaxRegistryFileSize + 1);
  EXPECT_THROW(ReadRegistryFile(big), Error);

  const fs::path pipe = folder.Path() / "pipe.reg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_THROW(ReadRegistryFile(pipe), Error);
  EXPECT_THROW(ReadRegistryFile(folder.Path()), Error);
}

TEST(RegistryFile, TwoProcessesRegisteringAtOnceLoseNothing) {
  TemporaryFolder folder;
  const fs::path file = folder.Path() / "registry.reg";
  constexpr int kPerProcess = 100;
  std::vector<pid_t> children;
  for (int process = 0; process < 2; ++process) {
    const pid_t child = ::fork();
    if (child == 0) {
      try {
        for (int i = 0; i < kPerProcess; ++i) {
          const std::string name =
              "CLSID\\{P" + std::to_string(process) + "-" + std::to_string(i) + "}\\InprocServer32";
          Register(file, name, "/lib/" + std::to_string(i) + ".so");
        }
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const RegistryTree tree = ReadRegistryFile(file);
  EXPECT_EQ(tree.SubKeyNames("CLSID").size(), 2u * kPerProcess);
  for (int process = 0; process < 2; ++process)
    for (int i = 0; i < kPerProcess; ++i)
      EXPECT_EQ(tree.GetValue("CLSID\\{P" + std::to_string(process) + "-" + std::to_string(i) +
                                  "}\\InprocServer32",
                              ""),
                "/lib/" + std::to_string(i) + ".so");
}

TEST(RegistryFile, AWriterDyingMidWriteLeavesTheOldFile) {
  TemporaryFolder folder;
  const fs::path file = folder.Path() / "registry.reg";
  Register(file, "Old", "kept");
  const std::string old = ReadText(file);

  // The file size limit kills the writer with SIGXFSZ while the temporary is half written.
  const int status = InChild([&] {
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    Register(file, "New", std::string(100000, 'x'));
    return true;
  });
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(ReadText(file), old);
  EXPECT_EQ(FolderEntries(folder.Path()).size(), 3u) << "the half-written temporary is there";

  Register(file, "Next", "written");
  const RegistryTree tree = ReadRegistryFile(file);
  EXPECT_EQ(tree.GetValue("Old", ""), "kept");
  EXPECT_EQ(tree.GetValue("Next", ""), "written");
  EXPECT_FALSE(tree.KeyExists("New"));
  EXPECT_EQ(FolderEntries(folder.Path()),
            (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(RegistryFile, ReadingNeedsOnlyReadAccess) {
  TemporaryFolder folder;
  const fs::path file = folder.Path() / "registry.reg";
  // Written by another program: no lock file beside it.
  WriteText(file,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\CLSID\\{0A1B}]\n"
            "@=\"Control\"\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(folder.Path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  const auto readAsUnprivileged = [&] {
    if (::geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return false;
    } else {
      fs::permissions(folder.Path(), fs::perms::owner_write, fs::perm_options::remove);
    }
    if (ReadRegistryFile(file).GetValue("CLSID\\{0A1B}", "") != "Control") return false;
    try {
      Register(file, "B", "x");
      return false;
    } catch (const Error&) {
      return true;
    }
  };
  const int status = InChild(readAsUnprivileged);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"registry.reg"});
}

// The user's file over the machine's, as HKEY_CLASSES_ROOT merges a user's classes over the
// machine's: what an installed package registered serves everyone, a user's own registration
// wins, and a user's process never writes the machine's file.
TEST(RegistryFile, TheUsersRegistryLiesOverTheMachines) {
  TemporaryFolder folder;
  const fs::path machine = folder.Path() / "machine.reg";
  ScopedEnvironment registry("TAVO_REGISTRY", nullptr);
  ScopedEnvironment machineRegistry("TAVO_MACHINE_REGISTRY", machine.c_str());
  ScopedEnvironment xdg("XDG_DATA_HOME", (folder.Path() / "data").c_str());
  const fs::path user = RegistryLocation();
  const std::string server = "CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32";

  Register(machine, server, "/usr/lib/tavo/module.so");
  ModifyRegistryFile(machine, [&](RegistryTree& tree) {
    tree.SetValue(server, "ThreadingModel", "Apartment");
    tree.SetValue("Machine.Only", "", "kept");
  });
  EXPECT_EQ(ReadRegistry().GetValue(server, ""), "/usr/lib/tavo/module.so");

  // A user's registration of the same key replaces its values, not the machine's other keys.
  ModifyRegistry([&](RegistryTree& tree) { tree.SetValue(server, "", "/home/u/module.so"); });
  const RegistryTree merged = ReadRegistry();
  EXPECT_EQ(merged.GetValue(server, ""), "/home/u/module.so");
  EXPECT_EQ(merged.FindValue(server, "ThreadingModel"), nullptr);
  EXPECT_EQ(merged.GetValue("Machine.Only", ""), "kept");

  // Unregistering the user's one falls back to the machine's.
  ModifyRegistry([&](RegistryTree& tree) { tree.DeleteKey(server); });
  EXPECT_EQ(ReadRegistry().GetValue(server, ""), "/usr/lib/tavo/module.so");
  EXPECT_FALSE(ReadRegistryFile(user).KeyExists(server));

  // TAVO_REGISTRY names the whole registry: the machine's file is not read.
  {
    ScopedEnvironment only("TAVO_REGISTRY", user.c_str());
    EXPECT_FALSE(ReadRegistry().KeyExists("Machine.Only"));
  }

  // A damaged machine file is an error naming it; a user's change still lands and leaves the
  // damaged file exactly as it was.
  WriteText(machine, "Windows Registry Editor Version 5.00\n\n[broken\n");
  try {
    ReadRegistry();
    ADD_FAILURE() << "a damaged machine registry was read";
  } catch (const Error& error) {
    EXPECT_THAT(error.what(), HasSubstr(machine.string()));
  }
  ModifyRegistry([&](RegistryTree& tree) { tree.SetValue("User.Class", "", "mine"); });
  EXPECT_EQ(ReadRegistryFile(user).GetValue("User.Class", ""), "mine");
  EXPECT_EQ(ReadText(machine), "Windows Registry Editor Version 5.00\n\n[broken\n");
}

}  // namespace
}  // namespace tavo
