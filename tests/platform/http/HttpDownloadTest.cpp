#include "platform/http/HttpDownload.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/http/LocalAddress.h"
#include "platform/http/LoopbackServer.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;

std::string LargeBody() {
  std::string body(5 * 1024 * 1024, '\0');
  uint32_t state = 12345;
  for (char& c : body) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 16);
  }
  return body;
}

const std::string kBody = std::string("GIF89a\x01\x00\x01\x00 image bytes\r\n\0 and more", 34);
const std::string kOldContent = "the old content of the file, longer than the new body by far";

class HttpDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    // A proxy from the environment must not stand between the client and the loopback server.
    ::setenv("no_proxy", "*", 1);
    std::string pattern = (fs::temp_directory_path() / "tavo-http-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  void WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(PathOf(name), std::ios::binary) << content;
  }

  std::string ReadFile(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // The failure's message, or "" when the download succeeded.
  static std::string FailureOf(const std::string& url, const std::string& target) {
    try {
      http::DownloadToFile(url, target);
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }

  fs::path dir_;
  LoopbackServer server_{{
      {"/image.gif", Respond(200, "OK", kBody)},
      {"/large.bin", Respond(200, "OK", LargeBody())},
      {"/empty", Respond(204, "No Content", "")},
      {"/missing", Respond(404, "Not Found", "<html>not here</html>")},
      {"/error", Respond(500, "Internal Server Error", "")},
      {"/moved", Respond(302, "Found", "", "Location: /image.gif\r\n")},
      {"/cut", CutShort("only part of the body", 4096)},
  }};
};

TEST_F(HttpDownload, CreatesTheFileWithExactlyTheBody) {
  http::DownloadToFile(server_.Url("/image.gif"), PathOf("new.gif"));
  EXPECT_EQ(ReadFile("new.gif"), kBody);
  http::DownloadToFile(server_.Url("/large.bin"), PathOf("large.bin"));
  EXPECT_TRUE(ReadFile("large.bin") == LargeBody());
  http::DownloadToFile(server_.Url("/empty"), PathOf("empty"));
  EXPECT_EQ(ReadFile("empty"), "");
  EXPECT_EQ(Entries(), (std::set<std::string>{"new.gif", "large.bin", "empty"}));
}

TEST_F(HttpDownload, ReplacesALongerFileAndKeepsItsPermissions) {
  WriteFile("old.gif", kOldContent);
  ASSERT_EQ(::chmod(PathOf("old.gif").c_str(), 0640), 0);
  http::DownloadToFile(server_.Url("/image.gif"), PathOf("old.gif"));
  EXPECT_EQ(ReadFile("old.gif"), kBody);
  EXPECT_EQ(fs::status(PathOf("old.gif")).permissions(), fs::perms(0640));
  EXPECT_EQ(Entries(), (std::set<std::string>{"old.gif"}));
}

TEST_F(HttpDownload, NewFilesGetTheUsualModeThroughTheUmask) {
  const mode_t previous = ::umask(027);
  http::DownloadToFile(server_.Url("/image.gif"), PathOf("new.gif"));
  ::umask(previous);
  EXPECT_EQ(fs::status(PathOf("new.gif")).permissions(), fs::perms(0640));
}

TEST_F(HttpDownload, WritesThroughALinkToTheFile) {
  WriteFile("real.gif", kOldContent);
  fs::create_symlink(PathOf("real.gif"), PathOf("link.gif"));
  http::DownloadToFile(server_.Url("/image.gif"), PathOf("link.gif"));
  EXPECT_TRUE(fs::is_symlink(PathOf("link.gif")));
  EXPECT_EQ(ReadFile("real.gif"), kBody);
}

TEST_F(HttpDownload, AnsiTargetPathsAreConverted) {
  codepage::ScopedCodeSet gbk("GBK");
  http::DownloadToFile(server_.Url("/image.gif"), PathOf("\xCD\xBC\xC6\xAC.gif"));  // 图片.gif
  // downloadImg's target as a host names it, with characters GBK cannot hold.
  http::DownloadToFile(server_.Url("/image.gif"), PathOf(codepage::WideToAnsi(u"¥€𠀀😀.gif")));
  EXPECT_EQ(Entries(), (std::set<std::string>{"图片.gif", "¥€𠀀😀.gif"}));
}

TEST_F(HttpDownload, FailuresLeaveAnExistingFileUntouched) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/x";
  const struct {
    std::string url;
    std::string message;
  } cases[] = {
      {server_.Url("/missing"), "HTTP status 404 for " + server_.Url("/missing")},
      {server_.Url("/error"), "HTTP status 500 for " + server_.Url("/error")},
      {server_.Url("/moved"), "HTTP status 302 for " + server_.Url("/moved")},
      {server_.Url("/cut"), "Download of " + server_.Url("/cut") + " failed: "},
      {refused, "Download of " + refused + " failed: "},
  };
  WriteFile("kept.gif", kOldContent);
  for (const auto& c : cases) {
    const std::string message = FailureOf(c.url, PathOf("kept.gif"));
    EXPECT_EQ(message.substr(0, c.message.size()), c.message) << message;
    EXPECT_EQ(ReadFile("kept.gif"), kOldContent) << c.url;
    EXPECT_EQ(Entries(), (std::set<std::string>{"kept.gif"})) << c.url;
  }
  // The redirection was not followed.
  for (const std::string& path : server_.Requests()) EXPECT_NE(path, "/image.gif");
}

TEST_F(HttpDownload, OddUrlsFailCleanly) {
  const std::string longUrl =
      "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/" + std::string(100000, 'a');
  for (const std::string& url :
       {std::string(), std::string("not a url"), std::string("file:///etc/passwd"),
        std::string("http://[::1"), std::string("ftp://127.0.0.1/file"),
        std::string("gopher://127.0.0.1/"), longUrl}) {
    const std::string message = FailureOf(url, PathOf("never.gif"));
    EXPECT_NE(message, "") << url;
    EXPECT_EQ(Entries(), std::set<std::string>{}) << url;
  }
  EXPECT_NE(FailureOf("file:///etc/passwd", PathOf("never.gif")).find("\"file\""),
            std::string::npos);
}

TEST_F(HttpDownload, TargetsThatCannotBeWrittenAreNamed) {
  const std::string inMissingDir = PathOf("no/such/dir/file.gif");
  EXPECT_EQ(FailureOf(server_.Url("/image.gif"), inMissingDir),
            "Cannot write the file " + inMissingDir + ": No such file or directory");
  fs::create_directory(PathOf("folder"));
  EXPECT_EQ(FailureOf(server_.Url("/image.gif"), PathOf("folder")),
            "Cannot write the file " + PathOf("folder") + ": Is a directory");
  EXPECT_NE(FailureOf(server_.Url("/image.gif"), ""), "");
  if (::geteuid() != 0) {  // permissions do not bind root
    fs::create_directory(PathOf("locked"));
    fs::permissions(PathOf("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const std::string locked = PathOf("locked/file.gif");
    EXPECT_EQ(FailureOf(server_.Url("/image.gif"), locked),
              "Cannot write the file " + locked + ": Permission denied");
    fs::permissions(PathOf("locked"), fs::perms::owner_all);
  }
  EXPECT_TRUE(server_.Requests().empty())
      << "nothing is fetched for a target that cannot be written";
}

// A host that refuses local addresses (the bridge's page workers) reaches none of this
// machine's own services, whatever name leads there; others are unaffected.
TEST_F(HttpDownload, AHostCanRefuseLocalAddressesWhateverNameLeadsThere) {
  ::setenv(http::kRefuseLocalDownloads, "1", 1);
  WriteFile("kept.gif", kOldContent);
  const std::string port = server_.Url("").substr(std::string("http://127.0.0.1:").size());
  for (const std::string& url :
       {server_.Url("/image.gif"), "http://localhost:" + port + "/image.gif"}) {
    try {
      http::DownloadToFile(url, PathOf("kept.gif"));
      ADD_FAILURE() << url << " was downloaded";
    } catch (const OleError& refused) {
      EXPECT_EQ(static_cast<uint32_t>(refused.Status()), 0x80070005u);
      EXPECT_NE(std::string(refused.what()).find("may not reach the address "), std::string::npos)
          << refused.what();
    }
  }
  ::unsetenv(http::kRefuseLocalDownloads);
  EXPECT_EQ(ReadFile("kept.gif"), kOldContent);
  EXPECT_EQ(Entries(), (std::set<std::string>{"kept.gif"}));
  http::DownloadToFile(server_.Url("/image.gif"), PathOf("kept.gif"));
  EXPECT_EQ(ReadFile("kept.gif"), kBody);
}

TEST(LocalAddress, LoopbackLinkLocalAndUnspecifiedInEveryFormButNotPrivateRanges) {
  auto of = [](const char* text) -> std::optional<std::string> {
    sockaddr_storage address{};
    if (inet_pton(AF_INET, text, &reinterpret_cast<sockaddr_in&>(address).sin_addr) == 1) {
      address.ss_family = AF_INET;
    } else {
      EXPECT_EQ(inet_pton(AF_INET6, text, &reinterpret_cast<sockaddr_in6&>(address).sin6_addr), 1)
          << text;
      address.ss_family = AF_INET6;
    }
    return http::LocalAddress(reinterpret_cast<const sockaddr*>(&address));
  };
  for (const char* local :
       {"127.0.0.1", "127.255.0.9", "0.0.0.0", "0.1.2.3", "169.254.169.254", "::1", "::", "fe80::1",
        "febf::2", "::ffff:127.0.0.1", "::ffff:169.254.169.254", "::ffff:0.0.0.0", "::127.0.0.1"})
    EXPECT_TRUE(of(local).has_value()) << local;
  for (const char* reachable :
       {"10.0.0.1", "172.16.5.4", "192.168.1.10", "192.0.2.2", "8.8.8.8", "fc00::1", "fd00::2",
        "2001:db8::1", "::ffff:10.1.2.3", "fec0::1", "128.0.0.1", "169.253.0.1"})
    EXPECT_FALSE(of(reachable).has_value()) << reachable;
  EXPECT_EQ(of("::ffff:127.0.0.1"), "::ffff:127.0.0.1");
}

}  // namespace
}  // namespace tavo::testing
