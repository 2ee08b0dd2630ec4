#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

namespace tavo::codepage {
namespace {

// "发票" in GBK.
const std::string kFapiaoGbk = "\xB7\xA2\xC6\xB1";

TEST(CodePage, BareLocaleCountsAsUtf8) {
  EXPECT_EQ(AnsiCodeSet(), "UTF-8");
  EXPECT_EQ(WideToAnsi(u"ABC发票"), "ABC发票");
  EXPECT_EQ(AnsiToWide("ABC发票"), u"ABC发票");
}

TEST(CodePage, GbkOverrideConvertsBothWaysAndReplacesWhatItCannotHold) {
  ScopedCodeSet gbk("GBK");
  EXPECT_EQ(AnsiCodeSet(), "GBK");
  EXPECT_EQ(WideToAnsi(u"A发票"), "A" + kFapiaoGbk);
  EXPECT_EQ(AnsiToWide("A" + kFapiaoGbk), u"A发票");
  // Hangul and an emoji (a surrogate pair) are not in GBK: one "?" each.
  EXPECT_EQ(WideToAnsi(u"x한y\U0001F600z"), "x?y?z");
  EXPECT_EQ(AnsiToUtf8(kFapiaoGbk), "发票");
  EXPECT_EQ(Utf8ToAnsi("发票"), kFapiaoGbk);
}

TEST(CodePage, OverrideEndsWithItsScope) {
  {
    ScopedCodeSet gbk("GBK");
    ScopedCodeSet big5("BIG5");
    EXPECT_EQ(AnsiCodeSet(), "BIG5");
  }
  EXPECT_EQ(AnsiCodeSet(), "UTF-8");
}

TEST(CodePage, SplitCharactersNeverSplitsAMultiByteCharacter) {
  const std::vector<std::string> utf8{"A", "发", "票", "\xF0\x9F\x98\x80", "\xFF", "b"};
  EXPECT_EQ(SplitCharacters("A发票\xF0\x9F\x98\x80\xFF"
                            "b"),
            utf8);

  ScopedCodeSet gbk("GBK");
  const std::vector<std::string> chars{"A", "\xB7\xA2", "\xC6\xB1", "\r", "\n", "z"};
  EXPECT_EQ(SplitCharacters("A" + kFapiaoGbk + "\r\nz"), chars);
  // A lead byte at the very end is one (broken) character of its own.
  EXPECT_EQ(SplitCharacters("a\xB7"), (std::vector<std::string>{"a", "\xB7"}));
}

TEST(CodePage, MalformedInputIsReplacedNotLost) {
  EXPECT_EQ(Utf8ToWide("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(WideToUtf8(std::u16string(1, char16_t{0xD800}) + u"b"), "?b");
  ScopedCodeSet gbk("GBK");
  EXPECT_EQ(AnsiToWide("a\xFF"
                       "b"),
            u"a\uFFFDb");
}

}  // namespace
}  // namespace tavo::codepage
