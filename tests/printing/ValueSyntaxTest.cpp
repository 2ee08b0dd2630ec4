#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

struct IntegerCase {
  std::string text;
  std::optional<int32_t> value;
};

TEST(ValueSyntax, Integers) {
  const IntegerCase cases[] = {
      {"0", 0},
      {"255", 255},
      {"  255", 255},
      {"+7", 7},
      {"-3", -3},
      {"007", 7},
      {"$FF", 255},
      {"$ff", 255},
      {"xFF", 255},
      {"XfF", 255},
      {"0x00FF00", 0x00FF00},
      {"0X10", 16},
      {"-$10", -16},
      {"$FF000008", static_cast<int32_t>(0xFF000008u)},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"$100000000", std::nullopt},
      {"255 ", std::nullopt},
      {"\t255", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"#FF0000", std::nullopt},
      {"1.0", std::nullopt},
      {"12a", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const IntegerCase& c : cases) {
    int32_t value = 12345;
    EXPECT_EQ(TryReadInteger(c.text, value), c.value.has_value()) << "'" << c.text << "'";
    if (c.value) {
      EXPECT_EQ(value, *c.value) << "'" << c.text << "'";
    }
    EXPECT_EQ(ReadInteger(c.text, 42), c.value.value_or(42)) << "'" << c.text << "'";
  }
}

TEST(ValueSyntax, Reals) {
  const struct {
    std::string text;
    std::optional<double> value;
  } cases[] = {
      {"241", 241.0},
      {"2.5", 2.5},
      {"-0.5", -0.5},
      {"+.5", 0.5},
      {"1.", 1.0},
      {"1e3", 1000.0},
      {"1.5E-1", 0.15},
      {" 3.0 ", 3.0},
      {"", std::nullopt},
      {"1,5", std::nullopt},
      {"abc", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1e", std::nullopt},
      {".", std::nullopt},
      {"0x10", std::nullopt},
      {"1e999", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadReal(c.text, -99.0), c.value.value_or(-99.0)) << "'" << c.text << "'";
  }
}

TEST(ValueSyntax, Booleans) {
  const struct {
    std::string text;
    std::optional<bool> value;
  } cases[] = {
      {"1", true},
      {"0", false},
      {"-1", true},
      {"2.5", true},
      {"0.0", false},
      {"TRUE", true},
      {"true", true},
      {"False", false},
      {"yes", std::nullopt},
      {"", std::nullopt},
      {" true", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadBoolean(c.text, true), c.value.value_or(true)) << "'" << c.text << "'";
    EXPECT_EQ(ReadBoolean(c.text, false), c.value.value_or(false)) << "'" << c.text << "'";
  }
}

TEST(ValueSyntax, TrimRemovesControlCharactersOnly) {
  EXPECT_EQ(TrimControls(" \t\r\n 12 \x01"), "12");
  EXPECT_TRUE(IsBlankText("   "));
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_FALSE(IsBlankText("\xB0\xA1"));  // a GBK character is text
}

}  // namespace
}  // namespace tavo
