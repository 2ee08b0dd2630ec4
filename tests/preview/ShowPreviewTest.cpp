#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/core/Display.h"
#include "platform/core/Error.h"
#include "platform/core/FileDescriptor.h"
#include "platform/qt/QtApplication.h"
#include "preview/PreviewFixtures.h"
#include "preview/ShowPreview.h"
#include "preview/dialog/ImageControl.h"
#include "preview/dialog/OpenPreview.h"
#include "preview/dialog/UnitComPrintForm.h"

namespace tavo {
namespace {

using test::kPreviewData;
using test::PreviewRule;

int OpenDialogs() {
  int count = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    count += dynamic_cast<TFormComPrint*>(w) != nullptr;
  return count;
}

// These tests close the dialog themselves, on the offscreen platform: they opt in.
class Preview : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApplication(); }
  const test::ScopedEnv optIn_{kOffscreenDialogOptIn, "1"};
  void TearDown() override {
    EXPECT_EQ(OpenPreview(), nullptr);
    EXPECT_EQ(OpenDialogs(), 0);
  }
};

TEST_F(Preview, ShownModallyWithItsTextsThenDestroyed) {
  const std::u16string rule = PreviewRule(R"(width="200" height="100")");
  bool inspected = false;
  test::WhenModal inspect([&] {
    TFormComPrint* form = OpenPreview();
    ASSERT_NE(form, nullptr);
    inspected = true;
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isModal());
    EXPECT_EQ(form->FXmlData, kPreviewData);
    EXPECT_EQ(form->FXmlRule, rule);
    EXPECT_FALSE(form->imgBG->isVisible());
    EXPECT_EQ(form->imgPreview->size(), QSize(200, 100));
    form->BitBtn1->click();
  });
  ShowPreview(kPreviewData, rule, u"");
  EXPECT_TRUE(inspected);
}

TEST_F(Preview, SecondCallWhileShownOnlyRaisesTheOpenDialog) {
  bool inspected = false;
  test::WhenModal reenter([&] {
    TFormComPrint* form = OpenPreview();
    ASSERT_NE(form, nullptr);
    const QImage before = form->imgPreview->GetPicture();
    ShowPreview(u"<other/>", PreviewRule(R"(width="300" height="300")"), u"/no/such/form.png");
    inspected = true;
    EXPECT_EQ(OpenPreview(), form);
    EXPECT_EQ(OpenDialogs(), 1);
    EXPECT_EQ(form->FXmlData, kPreviewData);
    EXPECT_EQ(form->imgPreview->GetPicture(), before);
    EXPECT_FALSE(form->imgBG->isVisible());
    form->BitBtn1->click();
  });
  ShowPreview(kPreviewData, PreviewRule(R"(width="200" height="100")"), u"");
  EXPECT_TRUE(inspected);
}

TEST_F(Preview, FailureDestroysTheDialogAndTheNextCallMakesANewOne) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("tavo-show-preview-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "form.gif") << "GIF89a";
  const struct {
    std::u16string rule;
    std::u16string imagePath;
    std::string message;
  } failures[] = {
      {u"<not well formed", u"", ""},
      {PreviewRule(""), codepage::Utf8ToWide((folder / "form.gif").string()),
       "Unknown picture file extension (.gif)"},
      {PreviewRule(R"(width="20000" height="20000")"), u"", ""},
  };
  for (const auto& f : failures) {
    try {
      ShowPreview(kPreviewData, f.rule, f.imagePath);
      ADD_FAILURE() << "no failure for " << codepage::WideToUtf8(f.rule);
    } catch (const Error& failure) {
      if (!f.message.empty()) {
        EXPECT_EQ(failure.what(), f.message);
      }
    }
    EXPECT_EQ(OpenPreview(), nullptr);
    EXPECT_EQ(OpenDialogs(), 0);
  }
  std::filesystem::remove_all(folder);

  bool shown = false;
  test::WhenModal close([&] {
    shown = OpenPreview() != nullptr;
    if (shown) OpenPreview()->BitBtn1->click();
  });
  ShowPreview(kPreviewData, PreviewRule(""), u"neither a file nor a picture");
  EXPECT_TRUE(shown);
}

TEST_F(Preview, NoDisplayOrAPlatformNobodySeesFailsAtOnce) {
  const std::string unset = "Preview needs a display: set DISPLAY or WAYLAND_DISPLAY";
  const struct {
    const char* display;
    const char* wayland;
    const char* platform;
    const char* optIn;
    std::string message;  // empty: a display
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, unset},
      {"", "", "", "", unset},
      {":0", nullptr, nullptr, nullptr, ""},
      {nullptr, "wayland-0", nullptr, nullptr, ""},
      {nullptr, nullptr, "xcb", nullptr, ""},
      {":0", nullptr, "offscreen", nullptr,
       "Preview needs a display: QT_QPA_PLATFORM=offscreen shows no window to a person"},
      {":0", nullptr, "minimal:enable_fonts", nullptr,
       "Preview needs a display: QT_QPA_PLATFORM=minimal:enable_fonts shows no window to a person"},
      {nullptr, nullptr, "Offscreen;xcb", nullptr,
       "Preview needs a display: QT_QPA_PLATFORM=Offscreen;xcb shows no window to a person"},
      {nullptr, nullptr, "offscreen", "1", ""},
  };
  for (const auto& c : cases) {
    const test::ScopedEnv display("DISPLAY", c.display);
    const test::ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    const test::ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
    const test::ScopedEnv optIn(kOffscreenDialogOptIn, c.optIn);
    EXPECT_EQ(HasDisplay(), c.message.empty()) << (c.platform ? c.platform : "(none)");
    if (c.message.empty()) continue;
    try {
      ShowPreview(kPreviewData, PreviewRule(""), u"");
      ADD_FAILURE() << "a preview was shown without a display";
    } catch (const Error& failure) {
      EXPECT_EQ(failure.what(), c.message);
    }
    EXPECT_EQ(OpenDialogs(), 0);
  }
}

// The environment may claim a display while the application there runs offscreen (the host's
// own, or one made for drawing): its dialog would reach nobody either. A display that cannot be
// opened at all is said first.
TEST_F(Preview, AnApplicationOnAPlatformNobodySeesShowsNoDialog) {
  // A compositor's socket that answers, so the display named can be opened.
  const std::filesystem::path socketPath =
      std::filesystem::temp_directory_path() / ("tavo-wayland-" + std::to_string(::getpid()));
  const FileDescriptor compositor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(compositor.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
            0);
  ASSERT_EQ(::listen(compositor.Get(), 4), 0);
  const test::ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  const test::ScopedEnv optIn(kOffscreenDialogOptIn, nullptr);
  const struct {
    const char* display;
    const char* wayland;
    std::string message;
  } cases[] = {
      {nullptr, socketPath.c_str(),
       "Preview needs a display: the Qt application runs on the offscreen platform, which shows "
       "no window to a person"},
      {":9871", nullptr, "Preview needs a display: cannot open display :9871"},
  };
  for (const auto& c : cases) {
    const test::ScopedEnv display("DISPLAY", c.display);
    const test::ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    try {
      ShowPreview(kPreviewData, PreviewRule(""), u"");
      ADD_FAILURE() << "a preview was shown on the offscreen platform";
    } catch (const Error& failure) {
      EXPECT_EQ(failure.what(), c.message);
    }
    EXPECT_EQ(OpenDialogs(), 0);
  }
  ::unlink(socketPath.c_str());
}

}  // namespace
}  // namespace tavo
