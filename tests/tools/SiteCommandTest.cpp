// tavoprint site as an administrator runs it, on a machine of the test's own: the bridge's
// origin files and the browsers' policy files below a folder (TAVO_MACHINE_POLICY,
// TAVO_BROWSER_POLICY_ROOT, XDG_CONFIG_HOME), every file read back as the browsers read it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Another administrator's Firefox policies: a policy of theirs, a key beside the policies, and
// a host of their own in SkipDomains that one of our sites shares.
constexpr const char* kTheirFirefox =
    R"({"policies": {"DisableAppUpdate": true, "LocalNetworkAccess": {"Enabled": true,
    "SkipDomains": ["shared.example.com"]}}, "comment": "kept"})";

class SiteCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-site-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  ProcessResult Site(std::vector<std::string> args) const {
    args.insert(args.begin(), {TAVO_TAVOPRINT_PATH, "site"});
    return RunProcess(args, {{},
                             {{"TAVO_MACHINE_POLICY", MachineFile().string()},
                              {"TAVO_BROWSER_POLICY_ROOT", root_.string()},
                              {"XDG_CONFIG_HOME", (root_ / "home").string()}}});
  }
  // Runs a command that must succeed; its output.
  std::string Ok(std::vector<std::string> args) const {
    const ProcessResult result = Site(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
  }

  fs::path MachineFile() const { return root_ / "etc/tavo/bridge-origins"; }
  fs::path UserFile() const { return root_ / "home/tavo/bridge-origins"; }
  fs::path Chromium() const { return root_ / "etc/chromium/policies/managed/tavo-bridge.json"; }
  fs::path Firefox() const { return root_ / "etc/firefox/policies/policies.json"; }

  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
  static QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
  }
  static std::string SkipDomains(const fs::path& file) {
    const QJsonObject access =
        Json(Read(file)).value("policies").toObject().value("LocalNetworkAccess").toObject();
    return QJsonDocument(access.value("SkipDomains").toArray())
        .toJson(QJsonDocument::Compact)
        .toStdString();
  }
  static std::string ChromiumList(const fs::path& file) {
    const QJsonObject policy = Json(Read(file));
    const std::string loopback =
        QJsonDocument(policy.value("LoopbackNetworkAllowedForUrls").toArray())
            .toJson(QJsonDocument::Compact)
            .toStdString();
    EXPECT_EQ(policy.value("LocalNetworkAccessAllowedForUrls"),
              policy.value("LoopbackNetworkAllowedForUrls"));
    return loopback;
  }

  fs::path root_;
};

// One administrator's day: sites allowed for the machine land in the bridge's file and both
// browsers' policies at once, again and again without change; a host another administrator put
// in Firefox's policy stays theirs; removing, withdrawing and applying take only ours.
TEST_F(SiteCommand, MachineSitesReachEveryFileAndOnlyOursGo) {
  Write(Firefox(), kTheirFirefox);
  const QJsonObject theirs = Json(kTheirFirefox);

  const std::string allowed = Ok({"allow", "HTTPS://ERP.Example.com:443", "--machine"});
  EXPECT_THAT(allowed,
              HasSubstr(MachineFile().string() + ": written (allow https://erp.example.com)"));
  EXPECT_THAT(allowed, HasSubstr(Firefox().string() + ": written (SkipDomains: erp.example.com)"));
  EXPECT_EQ(Read(MachineFile()), "allow https://erp.example.com\n");
  struct stat status {};
  ASSERT_EQ(::stat(MachineFile().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0644u) << "every user's bridge reads it";
  EXPECT_EQ(ChromiumList(Chromium()), R"(["https://erp.example.com"])");
  EXPECT_EQ(SkipDomains(Firefox()), R"(["shared.example.com","erp.example.com"])");
  QJsonObject merged = Json(Read(Firefox()));
  EXPECT_EQ(merged.value("comment"), theirs.value("comment"));
  EXPECT_EQ(merged.value("policies").toObject().value("DisableAppUpdate"), true);

  // The shared host is theirs already; a page on this machine needs no browser policy.
  Ok({"allow", "https://shared.example.com", "--machine"});
  Ok({"allow", "http://127.0.0.1:8080", "--machine"});
  EXPECT_EQ(ChromiumList(Chromium()),
            R"(["https://erp.example.com","https://shared.example.com"])");
  EXPECT_EQ(SkipDomains(Firefox()), R"(["shared.example.com","erp.example.com"])");
  const std::string files[] = {Read(MachineFile()), Read(Chromium()), Read(Firefox())};
  const std::string again = Ok({"allow", "https://erp.example.com", "--machine"});
  EXPECT_THAT(again, ::testing::Not(HasSubstr("written")));
  EXPECT_EQ(Read(MachineFile()) + Read(Chromium()) + Read(Firefox()),
            files[0] + files[1] + files[2]);

  // The user's own lines, and what list makes of it all.
  Ok({"allow", "https://shop.example"});
  Ok({"block", "https://spam.example"});
  EXPECT_EQ(Read(UserFile()), "allow https://shop.example\nblock https://spam.example\n");
  const std::string list = Ok({"list"});
  EXPECT_THAT(list, HasSubstr("https://erp.example.com  allowed: machine, Chromium, Firefox\n"));
  EXPECT_THAT(list, HasSubstr("http://127.0.0.1:8080  allowed: machine (a page on this machine "
                              "needs no browser policy)\n"));
  EXPECT_THAT(list,
              HasSubstr("https://shop.example  allowed: user; missing: Chromium, Firefox (for "
                        "every user: tavoprint site allow https://shop.example --machine)\n"));
  EXPECT_THAT(list, HasSubstr("https://spam.example  blocked: user\n"));

  // A block for the machine takes the site out of the browsers' policies as well.
  Ok({"block", "https://erp.example.com", "--machine"});
  EXPECT_EQ(ChromiumList(Chromium()), R"(["https://shared.example.com"])");
  EXPECT_EQ(SkipDomains(Firefox()), R"(["shared.example.com"])");
  Ok({"allow", "https://erp.example.com", "--machine"});

  // The package's removal takes ours out, its installation puts them back.
  EXPECT_THAT(Ok({"withdraw", "--machine"}), HasSubstr(Chromium().string() + ": removed"));
  EXPECT_EQ(Json(Read(Firefox())), theirs);
  EXPECT_FALSE(fs::exists(root_ / "etc/tavo/firefox-skip-domains"));
  Ok({"apply", "--machine"});
  EXPECT_EQ(SkipDomains(Firefox()), R"(["shared.example.com","erp.example.com"])");

  for (const char* origin :
       {"https://erp.example.com", "https://shared.example.com", "http://127.0.0.1:8080"})
    Ok({"remove", origin, "--machine"});
  EXPECT_FALSE(fs::exists(MachineFile()));
  EXPECT_FALSE(fs::exists(Chromium()));
  EXPECT_EQ(Json(Read(Firefox())), theirs) << "another administrator's policies, key for key";
}

// What cannot be used changes nothing and says where it is.
TEST_F(SiteCommand, BadOriginsAndFilesChangeNothing) {
  for (const char* origin :
       {"https://erp.example.com/", "erp.example.com", "null", "https://a b"}) {
    const ProcessResult result = Site({"allow", origin, "--machine"});
    EXPECT_EQ(result.exitCode, 2) << origin;
    EXPECT_THAT(result.err, HasSubstr(std::string("not an origin: \"") + origin + "\""));
  }
  Write(MachineFile(), "allow https://erp.example.com\npermit https://x.example\n");
  ProcessResult result = Site({"allow", "https://new.example", "--machine"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr(MachineFile().string() +
                                    ":2: expected \"allow ORIGIN\" or \"block ORIGIN\""));
  EXPECT_EQ(Read(MachineFile()), "allow https://erp.example.com\npermit https://x.example\n");

  Write(MachineFile(), "allow https://erp.example.com\n");
  Write(Firefox(), "{\"policies\": {");
  result = Site({"allow", "https://new.example", "--machine"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr(Firefox().string() + " is no JSON object"));
  EXPECT_EQ(Read(MachineFile()), "allow https://erp.example.com\n");
  EXPECT_EQ(Read(Firefox()), "{\"policies\": {");
  EXPECT_FALSE(fs::exists(Chromium()));
  EXPECT_EQ(Site({"site"}).exitCode, 2);
  EXPECT_EQ(Site({"withdraw"}).exitCode, 2) << "the package's commands are for the machine only";
}

}  // namespace
}  // namespace tavo::testing
