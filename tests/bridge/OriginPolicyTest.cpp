#include "bridge/policy/OriginPolicy.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace tavo::bridge {
namespace {

namespace fs = std::filesystem;

class OriginPolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tavo-policy-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& text) {
    std::ofstream(dir_ / "bridge-origins") << text;
    return dir_ / "bridge-origins";
  }
  std::string Read() {
    std::ifstream in(dir_ / "bridge-origins");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The user's file; the machine's is a file of the test's own, missing unless written.
  OriginPolicy Load(const fs::path& file) { return OriginPolicy::Load(file, dir_ / "machine"); }

  fs::path dir_;
};

TEST_F(OriginPolicyTest, AllowAndBlockLinesWithBlockWinning) {
  const OriginPolicy policy = Load(Write(
      "# the office's sites\n\nallow https://erp.example.com\n  allow\thttp://127.0.0.1:8080  \n"
      "allow https://bad.example.com\nblock https://bad.example.com\n"));
  EXPECT_EQ(policy.Decide("https://erp.example.com"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Decide("https://erp.example.com:443"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Decide("http://127.0.0.1:8080"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Decide("https://bad.example.com"), OriginDecision::Blocked);
  EXPECT_EQ(policy.Decide("http://erp.example.com"), OriginDecision::Unknown);
  // A missing origin and "null" (sandboxed frames, files) are never allowed.
  EXPECT_EQ(policy.Decide(""), OriginDecision::Blocked);
  EXPECT_EQ(policy.Decide("null"), OriginDecision::Blocked);
}

TEST_F(OriginPolicyTest, MissingFileIsEmptyAndBadLinesNameFileAndLine) {
  EXPECT_EQ(Load(dir_ / "none").Decide("https://a.example"), OriginDecision::Unknown);
  for (const char* line : {"allow", "permit https://a.example", "allow https://a.example/x",
                           "allow https://a.example https://b.example", "allow null"}) {
    const fs::path file = Write(std::string("# first\nallow https://ok.example\n") + line + "\n");
    try {
      Load(file);
      ADD_FAILURE() << line;
    } catch (const PolicyError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(file.string() + ":3: ", 0), 0u) << error.what();
    }
  }
}

TEST_F(OriginPolicyTest, RememberedDecisionsKeepTheFileAndLandWhole) {
  const fs::path file = Write("# kept comment\nallow https://erp.example.com");
  OriginPolicy policy = Load(file);
  policy.Remember("https://New.Example.com:443", true);
  policy.Remember("https://spam.example", false);
  EXPECT_EQ(policy.Decide("https://new.example.com"), OriginDecision::Allowed);
  EXPECT_EQ(Read(),
            "# kept comment\nallow https://erp.example.com\nallow https://new.example.com\n"
            "block https://spam.example\n");
  const OriginPolicy reread = Load(file);
  EXPECT_EQ(reread.Decide("https://spam.example"), OriginDecision::Blocked);
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
}

TEST_F(OriginPolicyTest, BridgesDecidingAtOnceLoseNothing) {
  const fs::path file = Write("");
  constexpr int kProcesses = 8;
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      OriginPolicy policy = Load(file);
      for (int j = 0; j < 5; ++j)
        policy.Remember("https://site" + std::to_string(i) + "-" + std::to_string(j) + ".example",
                        true);
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
  }
  const OriginPolicy policy = Load(file);
  for (int i = 0; i < kProcesses; ++i) {
    for (int j = 0; j < 5; ++j) {
      const std::string origin =
          "https://site" + std::to_string(i) + "-" + std::to_string(j) + ".example";
      EXPECT_EQ(policy.Decide(origin), OriginDecision::Allowed) << origin;
    }
  }
}

// The administrator's file counts for every user: its allow needs no prompt, a block in either
// file wins, and a bad line there neither stops the bridge nor lets in what the file names.
TEST_F(OriginPolicyTest, MachineFileAllowsBlocksWinAndABadLineFailsClosed) {
  const fs::path machine = dir_ / "machine";
  ReplacePolicyFile(machine,
                    "allow https://erp.example.com\nblock https://spam.example\n"
                    "allow https://both.example\n",
                    0644);
  OriginPolicy policy = Load(Write(
      "allow https://spam.example\nblock https://both.example\nallow https://mine.example\n"));
  EXPECT_EQ(policy.Decide("https://erp.example.com"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Decide("https://spam.example"), OriginDecision::Blocked);
  EXPECT_EQ(policy.Decide("https://both.example"), OriginDecision::Blocked);
  EXPECT_EQ(policy.Decide("https://mine.example"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Refresh(), std::vector<std::string>{});

  // A line that is no origin: the file's other origins are refused too, the user's stay.
  ReplacePolicyFile(machine,
                    "allow https://erp.example.com\nallow https://typo.example/\n"
                    "allow https://new.example\n",
                    0644);
  const std::vector<std::string> problems = policy.Refresh();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].rfind(machine.string() + ":2: expected", 0), 0u) << problems[0];
  EXPECT_EQ(policy.Decide("https://erp.example.com"), OriginDecision::Blocked);
  EXPECT_EQ(policy.Decide("https://new.example"), OriginDecision::Blocked);
  EXPECT_EQ(policy.Decide("https://mine.example"), OriginDecision::Allowed);
  EXPECT_EQ(Load(dir_ / "bridge-origins").MachineProblem().rfind(machine.string() + ":2:", 0), 0u);

  // Mended, it counts again at once; a user's file turned bad keeps its last good lines.
  ReplacePolicyFile(machine, "allow https://erp.example.com\n", 0644);
  Write("allow https://mine.example\nallow\n");
  const std::vector<std::string> userProblem = policy.Refresh();
  ASSERT_EQ(userProblem.size(), 1u);
  EXPECT_NE(userProblem[0].find("bridge-origins:2: expected"), std::string::npos) << userProblem[0];
  EXPECT_EQ(policy.Decide("https://erp.example.com"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Decide("https://mine.example"), OriginDecision::Allowed);
  EXPECT_EQ(policy.Decide("https://both.example"), OriginDecision::Blocked);
  EXPECT_EQ(fs::status(machine).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

}  // namespace
}  // namespace tavo::bridge
