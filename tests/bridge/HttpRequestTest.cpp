#include "bridge/HttpRequest.h"

#include <gtest/gtest.h>

namespace tavo::bridge {
namespace {

TEST(HttpRequestHead, ReadWholeOrWaitOrRefuse) {
  qsizetype length = 0;
  bool malformed = false;
  const QByteArray head =
      "GET /automation?x=1 HTTP/1.1\r\nHost: 127.0.0.1:17370\r\nUpgrade: websocket\r\n"
      "Connection: keep-alive, Upgrade\r\nOrigin: https://erp.example.com\r\n\r\n";
  const auto request = ParseRequestHead(head + "frame bytes", length, malformed);
  ASSERT_TRUE(request);
  EXPECT_EQ(length, head.size());
  EXPECT_EQ(request->method, "GET");
  EXPECT_EQ(request->path, "/automation");
  EXPECT_EQ(request->Header("origin"), "https://erp.example.com");
  EXPECT_TRUE(request->IsWebSocketUpgrade());

  EXPECT_FALSE(ParseRequestHead("GET / HTTP/1.1\r\nHost: x", length, malformed));
  EXPECT_FALSE(malformed);  // more may come
  EXPECT_FALSE(ParseRequestHead("GET / HTTP/1.1\r\nX: " + QByteArray(kMaxRequestHead, 'a'), length,
                                malformed));
  EXPECT_TRUE(malformed);
  for (const char* bad : {"GET /\r\n\r\n", "GET / HTTP/1.1\r\nno colon\r\n\r\n",
                          "GET / HTTP/1.1\r\nHost: 127.0.0.1:1\r\nHost: evil.example\r\n\r\n"}) {
    EXPECT_FALSE(ParseRequestHead(bad, length, malformed)) << bad;
    EXPECT_TRUE(malformed) << bad;
  }
}

}  // namespace
}  // namespace tavo::bridge
