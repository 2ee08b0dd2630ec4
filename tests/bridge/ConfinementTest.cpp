// The worker's confinement without the bridge's string checks: what the kernel alone holds
// (Landlock), what the folder-relative writer holds against links planted after a check, and
// what a worker inherits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bridge/PageFile.h"
#include "bridge/WorkerConfinement.h"
#include "bridge/WorkerProcess.h"
#include "platform/core/Error.h"

namespace tavo::bridge {
namespace {

namespace fs = std::filesystem;

class Confinement : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-confine-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ / "home";
    folder_ = home_ / ".local/share/tavo/bridge-files/https_erp.example.com_443";
    fs::create_directories(folder_ / "sub");
    fs::create_directories(home_ / ".ssh");
    std::ofstream(home_ / ".ssh" / "id_rsa") << "secret";
    fs::create_directories(home_ / ".local/share/tavo/bridge-files/https_other.example_443");
    fs::create_directories(root_ / "temporary");
    fs::create_directories(root_ / "outside");
  }
  void TearDown() override { fs::remove_all(root_); }

  static bool Creates(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
  }
  static int ReadError(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    return fd >= 0 ? 0 : errno;
  }

  fs::path root_, home_, folder_;
};

// In a child process, as the worker does: writes beneath the page's folder and its temporary
// folder only, renames between the folder's own folders, reads everywhere but the home.
TEST_F(Confinement, TheKernelAloneKeepsAWorkerInItsFolder) {
  if (LandlockAbi() == 0) GTEST_SKIP() << "this kernel has no Landlock";
  EXPECT_EXIT(
      {
        ::setenv("HOME", home_.c_str(), 1);
        ::unsetenv("XDG_CACHE_HOME");
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_DATA_HOME");
        ApplyConfinement(ConfinementFor(folder_, root_ / "temporary", {}, {}));
        const bool kept =
            Creates(folder_ / "a.pdf") && Creates(root_ / "temporary" / "job.pdf") &&
            ::rename((folder_ / "a.pdf").c_str(), (folder_ / "sub" / "b.pdf").c_str()) == 0 &&
            !Creates(root_ / "outside" / "x") && errno == EACCES && !Creates(home_ / ".bashrc") &&
            errno == EACCES && !Creates(folder_.parent_path() / "https_other.example_443" / "x") &&
            ReadError(home_ / ".ssh" / "id_rsa") == EACCES && ReadError("/etc/passwd") == 0 &&
            ::rename((folder_ / "sub" / "b.pdf").c_str(), (root_ / "outside" / "b.pdf").c_str()) !=
                0;
        std::_Exit(kept ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(root_ / "outside" / "x"));
  EXPECT_FALSE(fs::exists(home_ / ".bashrc"));
}

TEST_F(Confinement, TheWriterFollowsNoLinkPlantedInTheFolder) {
  fs::create_directory_symlink(root_ / "outside", folder_ / "planted");
  std::ofstream(root_ / "outside" / "target.txt") << "kept";
  fs::create_symlink(root_ / "outside" / "target.txt", folder_ / "name.txt");
  EXPECT_THROW(WritePageFile(folder_, "planted/x.txt", "x"), Error);
  EXPECT_THROW(WritePageFile(folder_, "../x.txt", "x"), Error);
  // A link of the file's own name is replaced, not written through.
  WritePageFile(folder_, "name.txt", "written");
  EXPECT_FALSE(fs::is_symlink(folder_ / "name.txt"));
  WritePageFile(folder_, "new/deeper/file.txt", "deep");
  std::ifstream target(root_ / "outside" / "target.txt"), deep(folder_ / "new/deeper/file.txt");
  std::string kept, written;
  target >> kept;
  deep >> written;
  EXPECT_EQ(kept, "kept");
  EXPECT_EQ(written, "deep");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "outside"), fs::directory_iterator()), 1);
}

TEST(WorkerEnvironmentTest, KeepsWhatTheControlNeedsAndGivesItsOwnTemporaryFolder) {
  const char* const given[] = {
      "HOME=/home/a", "PATH=/usr/bin",    "LC_ALL=zh_CN.UTF-8",  "XDG_RUNTIME_DIR=/run/user/1",
      "DISPLAY=:0",   "TAVO_REGISTRY=/r", "CUPS_SERVER=/c.sock", "SSH_AUTH_SOCK=/tmp/agent",
      "AWS_SECRET=x", "TMPDIR=/tmp",      "LD_PRELOAD=/evil.so", nullptr};
  const std::vector<std::string> kept = WorkerEnvironment(given, "/tmp/tavo-worker-1");
  EXPECT_EQ(kept, (std::vector<std::string>{"HOME=/home/a", "PATH=/usr/bin", "LC_ALL=zh_CN.UTF-8",
                                            "XDG_RUNTIME_DIR=/run/user/1", "DISPLAY=:0",
                                            "TAVO_REGISTRY=/r", "CUPS_SERVER=/c.sock",
                                            "TMPDIR=/tmp/tavo-worker-1"}));
}

}  // namespace
}  // namespace tavo::bridge
