#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>
#include <utility>

namespace tavo::codepage {
namespace {

// "发票" in GBK.
const std::string kFapiaoGbk = "\xB7\xA2\xC6\xB1";

TEST(CodePage, BareLocaleCountsAsUtf8) {
  EXPECT_EQ(AnsiCodeSet(), "UTF-8");
  EXPECT_EQ(WideToAnsi(u"ABC发票"), "ABC发票");
  EXPECT_EQ(AnsiToWide("ABC发票"), u"ABC发票");
}

TEST(CodePage, GbkOverrideConvertsBothWays) {
  ScopedCodeSet gbk("GBK");
  EXPECT_EQ(WideToAnsi(u"A发票"), "A" + kFapiaoGbk);
  EXPECT_EQ(AnsiToWide("A" + kFapiaoGbk), u"A发票");
  EXPECT_EQ(AnsiToUtf8(kFapiaoGbk), "发票");
  EXPECT_EQ(Utf8ToAnsi("发票"), kFapiaoGbk);
}

// "¥", "€", "𠀀" (U+20000), an emoji and Hangul, none of them in GBK, in GB18030.
const std::u16string kBeyondGbk = u"¥8,664.59 €𠀀\U0001F600한";
const std::string kBeyondGbkBytes =
    "\x81\x30\x84\x36"
    "8,664.59 \xA2\xE3\x95\x32\x82\x36\x94\x39\xFC\x36\x83\x36\x84\x33";

TEST(CodePage, EveryNameOfGbkAndGb2312UsesGb18030SoNothingIsLost) {
  for (const char* name : {"GBK", "gbk", "CP936", "MS936", "WINDOWS-936", "GB2312", "gb2312",
                           "EUC-CN", "euc_cn", "EUCCN", "CN-GB", "csGB2312", "GB18030"}) {
    ScopedCodeSet codeSet(name);
    EXPECT_EQ(AnsiCodeSet(), "GB18030") << name;
    EXPECT_EQ(WideToAnsi(kBeyondGbk), kBeyondGbkBytes) << name;
    EXPECT_EQ(AnsiToWide(kBeyondGbkBytes), kBeyondGbk) << name;
    EXPECT_EQ(Utf8ToAnsi(WideToUtf8(kBeyondGbk)), kBeyondGbkBytes) << name;
    EXPECT_EQ(AnsiToUtf8(kBeyondGbkBytes), WideToUtf8(kBeyondGbk)) << name;
  }
  // Every other code set keeps its own characters: "?" for each one it cannot hold.
  ScopedCodeSet big5("BIG5");
  EXPECT_EQ(AnsiCodeSet(), "BIG5");
  EXPECT_EQ(WideToAnsi(u"x한y\U0001F600z"), "x?y?z");
}

// Each character GBK holds, with the bytes glibc's own GBK converter gives it.
std::pair<std::string, std::u16string> EveryGbkCharacter() {
  std::unique_ptr<void, int (*)(iconv_t)> cd(iconv_open("UTF-16LE", "GBK"), iconv_close);
  std::pair<std::string, std::u16string> all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t unit = 0;
      char* in = bytes;
      char* out = reinterpret_cast<char*>(&unit);
      size_t inLeft = 2, outLeft = 2;
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd.get(), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) continue;
      all.first.append(bytes, 2);
      all.second += unit;
    }
  }
  return all;
}

TEST(CodePage, GbkTextKeepsTheBytesGbkGivesIt) {
  const auto [gbk, wide] = EveryGbkCharacter();
  ASSERT_GT(wide.size(), 21000u);
  ScopedCodeSet codeSet("GBK");
  EXPECT_EQ(WideToAnsi(u"ABC" + wide), "ABC" + gbk);
  EXPECT_EQ(AnsiToWide("ABC" + gbk), u"ABC" + wide);
  EXPECT_EQ(SplitCharacters(gbk).size(), wide.size());
}

TEST(CodePage, OverrideEndsWithItsScope) {
  {
    ScopedCodeSet gbk("GBK");
    EXPECT_EQ(AnsiCodeSet(), "GB18030");
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
  // Four-byte sequences, one of them a character beyond the BMP, stay whole.
  EXPECT_EQ(SplitCharacters(kBeyondGbkBytes.substr(0, 5) + kBeyondGbkBytes.substr(13, 10)),
            (std::vector<std::string>{"\x81\x30\x84\x36", "8", "\xA2\xE3", "\x95\x32\x82\x36",
                                      "\x94\x39\xFC\x36"}));
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
