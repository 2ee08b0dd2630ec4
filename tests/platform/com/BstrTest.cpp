#include "platform/com/Bstr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace tavo {
namespace {

TEST(Bstr, CarriesItsByteLengthBeforeTheTextAndAZeroAfterIt) {
  const Bstr text(u"发票A");
  ASSERT_NE(text.Get(), nullptr);
  uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text.Get()) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(SysStringLen(text.Get()), 3u);
  EXPECT_EQ(SysStringByteLen(text.Get()), 6u);
  EXPECT_EQ(text.Get()[3], u'\0');
  EXPECT_EQ(text.View(), u"发票A");
}

TEST(Bstr, KeepsEmbeddedZeros) {
  const char16_t raw[] = {u'a', 0, u'b', 0, u'c'};
  const Bstr text = Bstr::Attach(SysAllocStringLen(raw, 5));
  EXPECT_EQ(SysStringLen(text.Get()), 5u);
  EXPECT_EQ(text.View(), std::u16string_view(raw, 5));
  // A zero-terminated copy stops at the first zero.
  const Bstr copy = Bstr::Attach(SysAllocString(text.Get()));
  EXPECT_EQ(copy.View(), u"a");
}

TEST(Bstr, NullIsTheEmptyStringAndNullTextGivesZeros) {
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(BstrView(nullptr), u"");
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
  const Bstr zeros = Bstr::Attach(SysAllocStringLen(nullptr, 4));
  EXPECT_EQ(zeros.View(), std::u16string_view(u"\0\0\0\0", 4));
  const Bstr empty(u"");
  EXPECT_NE(empty.Get(), nullptr);
  EXPECT_EQ(SysStringLen(empty.Get()), 0u);
}

TEST(Bstr, RefusesLengthsItsPrefixCannotHold) {
  EXPECT_EQ(SysAllocStringLen(nullptr, std::numeric_limits<UINT>::max()), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, std::numeric_limits<UINT>::max() / 2), nullptr);
}

}  // namespace
}  // namespace tavo
