// downloadImg against a loopback HTTP server: the target file ends up holding exactly a
// successful body, and a failed download leaves it as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "control/ControlHost.h"
#include "platform/codepage/CodePage.h"
#include "platform/http/LoopbackServer.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;

const std::string kBody = std::string("\x89PNG\r\n\x1a\n\0 picture bytes", 24);
const std::string kOldContent = "an older and much longer file that was there before the download";

class Downloads : public ControlTest {
 protected:
  void SetUp() override {
    // A proxy from the environment must not stand between the control and the loopback server.
    ::setenv("no_proxy", "*", 1);
    ControlTest::SetUp();
  }

  std::string Target() const { return (registry_.Folder() / "picture.png").string(); }

  std::string ReadTarget() const {
    std::ifstream in(Target(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }

  CallOutcome Fetch(const std::string& url) {
    return Call(u"downloadImg", {codepage::Utf8ToWide(url), codepage::Utf8ToWide(Target())});
  }

  LoopbackServer server_{{
      {"/ok", Respond(200, "OK", kBody)},
      {"/missing", Respond(404, "Not Found", "no such picture")},
      {"/moved", Respond(302, "Found", "", "Location: /ok\r\n")},
  }};
};

TEST_F(Downloads, ASuccessfulBodyBecomesTheWholeFile) {
  ASSERT_EQ(Fetch(server_.Url("/ok")).status, S_OK);
  EXPECT_EQ(ReadTarget(), kBody);

  std::ofstream(Target(), std::ios::binary) << kOldContent;
  ASSERT_EQ(Fetch(server_.Url("/ok")).status, S_OK);
  EXPECT_EQ(ReadTarget(), kBody) << "no tail of the older file may remain";
}

TEST_F(Downloads, FailuresAreReportedAndLeaveTheFileUntouched) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/ok";
  for (const std::string& url : {server_.Url("/missing"), server_.Url("/moved"), refused}) {
    std::ofstream(Target(), std::ios::binary) << kOldContent;
    const CallOutcome outcome = Fetch(url);
    EXPECT_EQ(outcome.status, DISP_E_EXCEPTION) << url;
    EXPECT_TRUE(FAILED(outcome.scode)) << url;
    EXPECT_FALSE(outcome.description.empty()) << url;
    EXPECT_EQ(ReadTarget(), kOldContent) << url;
  }
  // Redirections are not followed.
  EXPECT_THAT(server_.Requests(), ::testing::ElementsAre("/missing", "/moved"));
}

TEST_F(Downloads, ATargetInAMissingFolderFails) {
  const CallOutcome outcome =
      Call(u"downloadImg", {codepage::Utf8ToWide(server_.Url("/ok")),
                            codepage::Utf8ToWide((registry_.Folder() / "no/such/file").string())});
  EXPECT_EQ(outcome.status, DISP_E_EXCEPTION);
  EXPECT_FALSE(fs::exists(registry_.Folder() / "no"));
}

}  // namespace
}  // namespace tavo::testing
