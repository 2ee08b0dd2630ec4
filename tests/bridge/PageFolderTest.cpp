#include "bridge/PageFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace tavo::bridge {
namespace {

namespace fs = std::filesystem;

class PageFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tavo-page-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "outside");
    std::ofstream(root_ / "outside" / "secret.txt") << "secret";
    folder_ = std::make_unique<PageFolder>(root_ / "files" / "https_erp.example.com_443");
    inside_ = folder_->Path();
    std::ofstream(inside_ / "form.png") << "png";
    fs::create_directories(inside_ / "pictures");
    fs::create_directory_symlink(root_ / "outside", inside_ / "link");
    fs::create_symlink(root_ / "outside" / "new.pdf", inside_ / "dangling.pdf");
  }
  void TearDown() override { fs::remove_all(root_); }

  void ExpectRefused(const std::string& text, ArgRole role, const std::string& named) {
    try {
      const std::string passed = folder_->Confine(text, role);
      ADD_FAILURE() << text << " passed as " << passed;
    } catch (const AccessDenied& denied) {
      EXPECT_EQ(std::string(denied.what()),
                "Paths outside the page's own folder are not accessible: " + named);
    }
  }

  fs::path root_, inside_;
  std::unique_ptr<PageFolder> folder_;
};

TEST_F(PageFolderTest, FilesAPageWritesStayInItsFolder) {
  EXPECT_EQ(folder_->Confine("stamp.png", ArgRole::TargetFile), (inside_ / "stamp.png").string());
  EXPECT_EQ(folder_->Confine("pictures/../stamp.png", ArgRole::TargetFile),
            (inside_ / "stamp.png").string());
  EXPECT_EQ(folder_->Confine("pdf:out.pdf", ArgRole::Printer),
            "pdf:" + (inside_ / "out.pdf").string());
  EXPECT_EQ(folder_->Confine("Office Printer", ArgRole::Printer), "Office Printer");
  for (const std::string& path : {(root_ / "outside" / "x.png").string(), std::string("../x.png"),
                                  std::string("pictures/../../x.png"), std::string("link/x.png"),
                                  std::string("dangling.pdf"), std::string(""), std::string(".")})
    ExpectRefused(path, ArgRole::TargetFile, path);
  ExpectRefused("pdf:../out.pdf", ArgRole::Printer, "../out.pdf");
  ExpectRefused("PDF:/tmp/out.pdf", ArgRole::Printer, "/tmp/out.pdf");
  ExpectRefused("pdf:dangling.pdf", ArgRole::Printer, "dangling.pdf");
}

TEST_F(PageFolderTest, FilesAPageReadsStayInItsFolderAndOtherTextsPass) {
  EXPECT_EQ(folder_->Confine("form.png", ArgRole::FileOrText), (inside_ / "form.png").string());
  // Base64 picture data names no file: it reaches the control as it is.
  const std::string jpeg = "/9j/4AAQSkZJRgABAQEASABIAAD/2wBD";
  EXPECT_EQ(folder_->Confine(jpeg, ArgRole::FileOrText), jpeg);
  EXPECT_EQ(folder_->Confine("iVBORw0KGgo=", ArgRole::FileOrText), "iVBORw0KGgo=");
  EXPECT_EQ(folder_->Confine("", ArgRole::FileOrText), "");
  const std::string secret = (root_ / "outside" / "secret.txt").string();
  ExpectRefused(secret, ArgRole::FileOrText, secret);
  ExpectRefused("link/secret.txt", ArgRole::FileOrText, "link/secret.txt");
  ExpectRefused("../../../outside/secret.txt", ArgRole::FileOrText, "../../../outside/secret.txt");
  ExpectRefused("../nothing.png", ArgRole::FileOrText, "../nothing.png");
  ExpectRefused("/etc/passwd", ArgRole::FileOrText, "/etc/passwd");
}

TEST_F(PageFolderTest, OnlyHttpAndHttpsAreDownloaded) {
  EXPECT_EQ(folder_->Confine("http://127.0.0.1:8080/a.png", ArgRole::SourceUrl),
            "http://127.0.0.1:8080/a.png");
  EXPECT_EQ(folder_->Confine("HTTPS://erp.example.com/a.png", ArgRole::SourceUrl),
            "HTTPS://erp.example.com/a.png");
  for (const char* url :
       {"file:///etc/passwd", "ftp://a.example/x", "/etc/passwd", "gopher://x", "httpx://a", ""}) {
    EXPECT_THROW(folder_->Confine(url, ArgRole::SourceUrl), AccessDenied) << url;
  }
}

TEST_F(PageFolderTest, TheFolderIsMadeForItsOwnerOnly) {
  EXPECT_TRUE(fs::is_directory(inside_));
  EXPECT_EQ(fs::status(inside_).permissions() & fs::perms::all, fs::perms::owner_all);
}

}  // namespace
}  // namespace tavo::bridge
