// tavoprint batch and print --all-records as their users run them: the built binary in worker
// processes, shards run by GNU parallel, a run killed in the middle and resumed; the PDFs read
// back with poppler.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const fs::path kInvoice = fs::path(TAVO_EXAMPLES_DIR) / "invoice";

// A data document of the sample invoice's record `count` times, numbered from `first`; the
// records named in `bad` have a QR code content too long for any symbol.
std::string Invoices(int first, int count, const std::set<int>& bad = {}) {
  std::ifstream in(kInvoice / "data.xml", std::ios::binary);
  const std::string data{std::istreambuf_iterator<char>(in), {}};
  const size_t start = data.find("<record>");
  const size_t end = data.find("</record>") + 9;
  std::string records;
  for (int i = 0; i < count; ++i) {
    std::string record = data.substr(start, end - start);
    record.replace(record.find("12345678"), 8, std::to_string(first + i));
    if (bad.count(i + 1)) record.insert(record.find("<ewm>") + 5, std::string(8000, 'X'));
    records += record;
  }
  return data.substr(0, start) + records + data.substr(end);
}

class BatchCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-batch-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ASSERT_EQ(RunProcess(Tavoprint({"register"})).exitCode, 0);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::vector<std::string> Tavoprint(std::vector<std::string> args) const {
    args.insert(args.begin(), {TAVO_TAVOPRINT_PATH, "--registry", (folder_ / "reg.reg").string()});
    return args;
  }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(folder_ / name, std::ios::binary) << text;
    return (folder_ / name).string();
  }
  std::string Rule() const { return (kInvoice / "rule.xml").string(); }

  // Each file of the folder by name, as the picture poppler makes of its pages.
  static std::map<std::string, std::string> Pages(const fs::path& dir) {
    std::map<std::string, std::string> pages;
    for (const auto& entry : fs::directory_iterator(dir)) {
      pages[entry.path().filename()] =
          RunProcess({"pdftoppm", "-gray", "-r", "30", entry.path().string()}).out;
    }
    return pages;
  }

  fs::path folder_;
};

TEST_F(BatchCommand, WorkersAndShardsMakeTheFilesOfOnePlainRunAndTheFailureIsListed) {
  const std::vector<std::string> data = {Write("a.xml", Invoices(100, 4)),
                                         Write("b.xml", Invoices(200, 3, {2})),
                                         Write("c.xml", Invoices(300, 2))};
  auto batch = [&](const std::string& dir, std::vector<std::string> more) {
    std::vector<std::string> args = {"batch", Rule()};
    args.insert(args.end(), data.begin(), data.end());
    args.insert(args.end(), {"--pdf-dir", (folder_ / dir).string()});
    args.insert(args.end(), more.begin(), more.end());
    return Tavoprint(args);
  };
  const ProcessResult plain = RunProcess(batch("plain", {"--jobs", "1"}));
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_THAT(plain.out, HasSubstr("batch: 8 PDF files in " + (folder_ / "plain").string()));
  EXPECT_THAT(plain.err, HasSubstr(data[1] + ": record 2: The content"));
  const std::map<std::string, std::string> expected = Pages(folder_ / "plain");
  std::vector<std::string> names;
  for (const auto& [name, pixels] : expected) {
    names.push_back(name);
    EXPECT_GT(pixels.size(), 1000u) << name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a-1.pdf", "a-2.pdf", "a-3.pdf", "a-4.pdf", "b-1.pdf",
                                             "b-3.pdf", "c-1.pdf", "c-2.pdf"}));

  EXPECT_EQ(RunProcess(batch("jobs", {"--jobs", "2"})).exitCode, 1);
  EXPECT_EQ(Pages(folder_ / "jobs"), expected);
  // Two shards as two machines would run them, here side by side.
  std::vector<std::string> shards = {"parallel", "--will-cite", "--halt", "never"};
  for (const std::string& arg : batch("shards", {"--shard", "{}/2", "--jobs", "1"}))
    shards.push_back(arg);
  shards.insert(shards.end(), {":::", "1", "2"});
  EXPECT_EQ(RunProcess(shards).exitCode, 1);  // the shard with b.xml failed
  EXPECT_EQ(Pages(folder_ / "shards"), expected);

  // One job of all: every record's page in order, the bad one left out.
  const ProcessResult one = RunProcess(Tavoprint(
      {"batch", Rule(), data[0], data[1], data[2], "--pdf", (folder_ / "one.pdf").string()}));
  EXPECT_EQ(one.exitCode, 1);
  EXPECT_THAT(one.out, HasSubstr("batch: 8 pages into " + (folder_ / "one.pdf").string()));
  EXPECT_EQ(PdfInfoField((folder_ / "one.pdf").string(), "Pages"), "8");

  // print --all-records: one data file, one job.
  const ProcessResult all = RunProcess(Tavoprint(
      {"print", data[1], Rule(), "--pdf", (folder_ / "all.pdf").string(), "--all-records"}));
  EXPECT_EQ(all.exitCode, 1);
  EXPECT_THAT(all.out, HasSubstr("printed 2 pages to " + (folder_ / "all.pdf").string()));
  EXPECT_THAT(all.err, HasSubstr("record 2: The content"));

  for (const std::vector<std::string>& usage :
       {batch("x", {"--shard", "3/2"}),
        Tavoprint({"batch", Rule(), data[0], "--pdf", "x.pdf", "--jobs", "2"}),
        Tavoprint({"batch", Rule(), data[0]})}) {
    EXPECT_EQ(RunProcess(usage).exitCode, 2) << usage.back();
  }
}

TEST_F(BatchCommand, AKilledRunLeavesWholeFilesAndResumedFinishesTheRest) {
  const std::string first = Write("d.xml", Invoices(1000, 60));
  const std::string second = Write("e.xml", Invoices(2000, 60));
  const fs::path out = folder_ / "out";
  std::vector<std::string> args =
      Tavoprint({"batch", Rule(), first, second, "--pdf-dir", out.string(), "--jobs", "2"});

  // Started in a process group of its own, killed with its workers after a few files.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<std::string> environment = ChildEnvironment({});
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, args[0].c_str(), nullptr, &attributes, Pointers(args).data(),
                        Pointers(environment).data()),
            0);
  posix_spawnattr_destroy(&attributes);
  auto pdfs = [&] {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(out, error))
      if (entry.path().extension() == ".pdf") files.push_back(entry.path());
    return files;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (pdfs().size() < 10 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(-pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const size_t done = pdfs().size();
  ASSERT_GE(done, 10u);
  ASSERT_LT(done, 120u) << "the run ended before it was killed";
  for (const fs::path& pdf : pdfs()) EXPECT_EQ(PdfInfoField(pdf.string(), "Pages"), "1") << pdf;

  args.push_back("--resume");
  const ProcessResult resumed = RunProcess(args);
  EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_THAT(resumed.out, HasSubstr("(" + std::to_string(done) + " were there)"));
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(out)) {
    names.insert(entry.path().filename());
    EXPECT_EQ(PdfInfoField(entry.path().string(), "Pages"), "1") << entry.path();
  }
  EXPECT_EQ(names.size(), 120u);  // no file being written is left beside them
  EXPECT_TRUE(names.count("d-01.pdf") && names.count("e-60.pdf"));
  EXPECT_THAT(RunProcess({"pdftotext", (out / "e-60.pdf").string(), "-"}).out, HasSubstr("2059"));
}

}  // namespace
}  // namespace tavo::testing
