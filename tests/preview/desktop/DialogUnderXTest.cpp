// The preview dialog in a real X server, driven as a person drives it: the mouse on its
// buttons, Alt+P and Alt+X, Escape, Return on the message box, the close box's request. The
// host is a process of its own (tavoprint, or a host that previews twice), and what counts is
// how it ends and what it printed. There is no window manager: the test focuses windows itself.
#include <cups/cups.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "preview/desktop/HostProcess.h"
#include "preview/desktop/XServer.h"
#include "support/CupsScheduler.h"
#include "tools/Subprocess.h"

namespace tavo::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::ProcessEnvironment;
using testing::ProcessResult;
using testing::RunProcess;

const std::string kExamples = std::string(TAVO_EXAMPLES_DIR) + "/invoice/";
const std::string kDialogTitle = "打印预览";
const std::string kBoxTitle = "tavo";  // the application's title: the host's name for Qt
constexpr int kWaitSeconds = 30;       // generous: a loaded machine, a sanitizer build

// Where a person clicks: the middle of each button, in the dialog's fixed client area.
struct Point {
  int x, y;
};
constexpr Point kPrintButton{616 + 37, 514 + 5 + 12};
constexpr Point kCloseButton{704 + 37, 514 + 5 + 12};

class DialogUnderX : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<XServer>(); }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(server_->Running()) << server_->Failure();
    std::string pattern = (fs::temp_directory_path() / "tavo-desktop-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    const ProcessResult registered =
        RunProcess({TAVO_TAVOPRINT_PATH, "--registry", Registry(), "register"});
    ASSERT_EQ(registered.exitCode, 0) << registered.err;
  }
  void TearDown() override {
    host_.reset();
    fs::remove_all(folder_);
  }

  std::string Registry() const { return (folder_ / "registry.reg").string(); }

  // The host's environment: this display, no platform named, no opt-in, and no printer unless
  // a scheduler of the test's own serves one.
  std::map<std::string, std::string> HostEnvironment(bool withCups) const {
    std::map<std::string, std::string> env = {{"DISPLAY", server_->Display()},
                                              {"QT_QPA_PLATFORM", ""},
                                              {"WAYLAND_DISPLAY", ""},
                                              {"TAVO_TEST_OFFSCREEN_DIALOG", ""},
                                              {"TAVO_REGISTRY", Registry()}};
    if (!withCups) env["CUPS_SERVER"] = (folder_ / "no-cups.sock").string();
    return env;
  }

  void StartTavoprintPreview(bool withCups = false) {
    host_ = std::make_unique<HostProcess>(
        std::vector<std::string>{TAVO_TAVOPRINT_PATH, "preview", kExamples + "data.xml",
                                 kExamples + "rule.xml", kExamples + "form.png"},
        HostEnvironment(withCups));
    ASSERT_TRUE(host_->Started());
  }

  ProcessResult Xdotool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"timeout", std::to_string(kWaitSeconds), "xdotool"});
    ProcessEnvironment env;
    env.set = {{"DISPLAY", server_->Display()}, {"LC_ALL", "C.UTF-8"}};
    return RunProcess(args, env);
  }

  std::vector<unsigned long> VisibleWindows(const std::string& title) const {
    const ProcessResult found = Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
    std::vector<unsigned long> windows;
    std::istringstream lines(found.out);
    for (unsigned long id = 0; lines >> id;) windows.push_back(id);
    return windows;
  }

  // Waits (bounded) for a shown window of that title other than `except`; 0 when none came.
  unsigned long WaitForWindow(const std::string& title, unsigned long except = 0) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWaitSeconds);
    do {
      for (unsigned long id : VisibleWindows(title))
        if (id != except) return id;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline && host_->WaitForExit(0) == std::nullopt);
    return 0;
  }

  void Click(unsigned long window, Point at) const {
    const ProcessResult clicked =
        Xdotool({"mousemove", "--sync", "--window", std::to_string(window), std::to_string(at.x),
                 std::to_string(at.y), "click", "1"});
    EXPECT_EQ(clicked.exitCode, 0) << clicked.err;
  }

  // Keys as typed on the keyboard, into `window` after focusing it as a window manager would.
  void Type(unsigned long window, const std::string& keys) const {
    const ProcessResult typed =
        Xdotool({"windowfocus", "--sync", std::to_string(window), "key", keys});
    EXPECT_EQ(typed.exitCode, 0) << typed.err;
  }

  // Acts as a person does who repeats what a window did not take yet (a dialog is deaf to the
  // keyboard until the message box over it has quite gone) until `done`, within the bounds.
  bool Repeat(const std::function<void()>& act, const std::function<bool()>& done) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWaitSeconds);
    do {
      act();
      const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(3);
      do {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      } while (std::chrono::steady_clock::now() < patience);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  bool Shown(unsigned long window, const std::string& title) const {
    const std::vector<unsigned long> shown = VisibleWindows(title);
    return std::find(shown.begin(), shown.end(), window) != shown.end();
  }

  // The print button fails with no printer: the message box comes, Return closes it, the
  // dialog stays.
  void PrintFailsAndIsAcknowledged(unsigned long dialog, bool byKeyboard) {
    unsigned long box = 0;
    const bool boxCame =
        Repeat([&] { byKeyboard ? Type(dialog, "alt+p") : Click(dialog, kPrintButton); },
               [&] {
                 const std::vector<unsigned long> boxes = VisibleWindows(kBoxTitle);
                 box = boxes.empty() ? 0 : boxes.front();
                 return box != 0;
               });
    ASSERT_TRUE(boxCame) << "no message box after the failed print\n" << host_->Output();
    ASSERT_TRUE(Repeat([&] { Type(box, "Return"); }, [&] { return !Shown(box, kBoxTitle); }))
        << host_->Output();
    EXPECT_TRUE(Shown(dialog, kDialogTitle));
  }

  // Closes the dialog by `act`, repeated if the dialog did not take it yet.
  void CloseDialog(unsigned long dialog, const std::function<void()>& act) {
    EXPECT_TRUE(Repeat(act, [&] { return !Shown(dialog, kDialogTitle); })) << host_->Output();
  }

  void ExpectHostEndsWith(int status) {
    const std::optional<int> ended = host_->WaitForExit(kWaitSeconds);
    ASSERT_TRUE(ended.has_value()) << "the host still runs\n" << host_->Output();
    EXPECT_EQ(*ended, status) << host_->Output();
  }

  static inline std::unique_ptr<XServer> server_;
  fs::path folder_;
  std::unique_ptr<HostProcess> host_;
};

TEST_F(DialogUnderX, FailedPrintThenClose) {
  StartTavoprintPreview();
  const unsigned long dialog = WaitForWindow(kDialogTitle);
  ASSERT_NE(dialog, 0u) << host_->Output();
  PrintFailsAndIsAcknowledged(dialog, false);
  CloseDialog(dialog, [&] { Click(dialog, kCloseButton); });
  ExpectHostEndsWith(0);
}

TEST_F(DialogUnderX, FailedPrintThenASecondTryThenClose) {
  StartTavoprintPreview();
  const unsigned long dialog = WaitForWindow(kDialogTitle);
  ASSERT_NE(dialog, 0u) << host_->Output();
  PrintFailsAndIsAcknowledged(dialog, false);
  PrintFailsAndIsAcknowledged(dialog, true);
  CloseDialog(dialog, [&] { Type(dialog, "alt+x"); });
  ExpectHostEndsWith(0);
}

TEST_F(DialogUnderX, PrintOnACupsQueueThenClose) {
  CupsScheduler scheduler;
  ASSERT_TRUE(scheduler.Running()) << scheduler.Failure();
  std::string error;
  ASSERT_TRUE(scheduler.AddPdfQueue("tavo-desktop", error)) << error;
  ASSERT_EQ(scheduler.Run("lpadmin -d tavo-desktop").status, 0);
  StartTavoprintPreview(true);
  const unsigned long dialog = WaitForWindow(kDialogTitle);
  ASSERT_NE(dialog, 0u) << host_->Output();
  Click(dialog, kPrintButton);
  // The job leaves the dialog at once and reaches cups-pdf a little later.
  std::vector<fs::path> pdfs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (pdfs.empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (const auto& entry : fs::recursive_directory_iterator(scheduler.PdfOutputDir()))
      if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path());
  }
  ASSERT_TRUE(scheduler.WaitForJobs(std::chrono::seconds(90))) << scheduler.ErrorLog();
  EXPECT_TRUE(VisibleWindows(kBoxTitle).empty()) << "a message box after a print that worked";
  CloseDialog(dialog, [&] { Click(dialog, kCloseButton); });
  ExpectHostEndsWith(0);
  ASSERT_EQ(pdfs.size(), 1u) << scheduler.ErrorLog();
  EXPECT_EQ(testing::PdfInfoField(pdfs.front().string(), "Pages"), "1");
  // The document as PrintXmlData names it: the job title and the invoice's number.
  cupsSetServer(scheduler.SocketPath().c_str());
  cups_job_t* jobs = nullptr;
  const int count =
      cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "tavo-desktop", 0, CUPS_WHICHJOBS_COMPLETED);
  ASSERT_EQ(count, 1);
  EXPECT_THAT(std::string(jobs[0].title ? jobs[0].title : ""),
              ::testing::AllOf(::testing::StartsWith("票据打印"), HasSubstr("12345678")));
  cupsFreeJobs(count, jobs);
  cupsSetServer(nullptr);
}

TEST_F(DialogUnderX, TheCloseBoxEscapeAndAltXEachCloseIt) {
  for (const std::string how : {"close box", "Escape", "alt+x"}) {
    StartTavoprintPreview();
    const unsigned long dialog = WaitForWindow(kDialogTitle);
    ASSERT_NE(dialog, 0u) << how << "\n" << host_->Output();
    CloseDialog(dialog, [&] {
      if (how == "close box") {
        EXPECT_TRUE(server_->RequestClose(dialog));
      } else {
        Type(dialog, how);
      }
    });
    SCOPED_TRACE(how);
    ExpectHostEndsWith(0);
  }
}

TEST_F(DialogUnderX, TwoPreviewsInOneProcessFromASecondaryThread) {
  host_ = std::make_unique<HostProcess>(
      std::vector<std::string>{TAVO_THREAD_HOST_PATH, TAVO_CONTROL_MODULE_PATH,
                               kExamples + "data.xml", kExamples + "rule.xml",
                               (folder_ / "unused.pdf").string(), "preview"},
      HostEnvironment(false));
  ASSERT_TRUE(host_->Started());
  const unsigned long first = WaitForWindow(kDialogTitle);
  ASSERT_NE(first, 0u) << host_->Output();
  PrintFailsAndIsAcknowledged(first, false);
  // Closed when the host says so: the second dialog may come under the first one's window id
  // (the X server hands a new connection the ids of the one that closed), so the window's
  // going cannot be seen. Alt+X is repeated until then as a person would; it may find the
  // window gone.
  EXPECT_TRUE(Repeat(
      [&] {
        Xdotool({"windowfocus", "--sync", std::to_string(first), "key", "alt+x"});
      },
      [&] { return host_->Output().find("the first preview has closed") != std::string::npos; }))
      << host_->Output();
  const unsigned long second = WaitForWindow(kDialogTitle);
  ASSERT_NE(second, 0u) << "no second preview\n" << host_->Output();
  PrintFailsAndIsAcknowledged(second, true);
  CloseDialog(second, [&] { EXPECT_TRUE(server_->RequestClose(second)); });
  ExpectHostEndsWith(0);
}

}  // namespace
}  // namespace tavo::test
