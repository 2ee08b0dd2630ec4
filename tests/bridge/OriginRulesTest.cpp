#include "bridge/policy/OriginRules.h"

#include <gtest/gtest.h>

namespace tavo::bridge {
namespace {

TEST(BridgeHost, OnlyLoopbackNamesWithTheBridgesPortPass) {
  for (const char* host : {"127.0.0.1:17370", "[::1]:17370", "localhost:17370", "LocalHost:17370"})
    EXPECT_TRUE(IsBridgeHost(host, 17370)) << host;
  // DNS rebinding: a name that resolves to 127.0.0.1 is still another site.
  for (const char* host : {"evil.example:17370", "localhost.evil.example:17370", "127.0.0.1:17371",
                           "127.0.0.1", "localhost", "", "127.0.0.1:17370.evil.example",
                           "x.127.0.0.1:17370", "[::1]", "0.0.0.0:17370", "127.0.0.2:17370"})
    EXPECT_FALSE(IsBridgeHost(host, 17370)) << host;
}

// The pages the bridge serves itself: plain http on a loopback name and the bridge's own port.
TEST(Origin, TheBridgesOwnOriginsAreItsLoopbackNamesOnItsPort) {
  for (const char* origin : {"http://127.0.0.1:17370", "http://localhost:17370",
                             "http://[::1]:17370", "HTTP://LocalHost:17370"})
    EXPECT_TRUE(IsBridgeOrigin(origin, 17370)) << origin;
  EXPECT_TRUE(IsBridgeOrigin("http://127.0.0.1", 80));
  for (const char* origin :
       {"https://127.0.0.1:17370", "http://127.0.0.1:17371", "http://127.0.0.1",
        "http://evil.example:17370", "http://localhost.evil.example:17370", "null", ""})
    EXPECT_FALSE(IsBridgeOrigin(origin, 17370)) << origin;
}

TEST(Origin, NormalizedAsBrowsersSendIt) {
  EXPECT_EQ(NormalizeOrigin("https://erp.example.com"), "https://erp.example.com");
  EXPECT_EQ(NormalizeOrigin("HTTPS://ERP.Example.com:443"), "https://erp.example.com");
  EXPECT_EQ(NormalizeOrigin("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
  EXPECT_EQ(NormalizeOrigin("http://[::1]:80"), "http://[::1]");
  for (const char* bad : {"null", "", "erp.example.com", "https://", "https://a.b/path",
                          "https://a.b:99999", "https://a.b:x", "https://user@a.b", "https://[::1"})
    EXPECT_EQ(NormalizeOrigin(bad), std::nullopt) << bad;
}

TEST(Origin, FolderNamesAreSchemeHostPortPercentEncoded) {
  EXPECT_EQ(OriginFolderName("https://erp.example.com"), "https_erp.example.com_443");
  EXPECT_EQ(OriginFolderName("http://127.0.0.1:8080"), "http_127.0.0.1_8080");
  EXPECT_EQ(OriginFolderName("http://[::1]:9"), "http_%5B%3A%3A1%5D_9");
  // Origins the old "_" mapping gave one folder now have two.
  EXPECT_NE(OriginFolderName("http://a_b.example"), OriginFolderName("http://a.b.example"));
  EXPECT_EQ(OriginFolderName("http://a_b.example"), "http_a%5Fb.example_80");
  EXPECT_EQ(OriginFolderName("http://erp.example.com"), "http_erp.example.com_80");
}

}  // namespace
}  // namespace tavo::bridge
