#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "ParseHelpers.h"

namespace tavo {
namespace {

using testing::Describe;
using testing::ParseUtf8;

std::string Repeat(std::string_view piece, size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::string BillionLaughs() {
  std::string dtd = R"(<!ENTITY l0 "lol">)";
  for (int level = 1; level <= 9; ++level) {
    dtd += "<!ENTITY l" + std::to_string(level) + " \"" +
           Repeat("&l" + std::to_string(level - 1) + ";", 10) + "\">";
  }
  return "<!DOCTYPE r [" + dtd + "]><r><body><a>&l9;</a><b><c>&l9;</c></b></body></r>";
}

// One entity of 50,000 characters referenced 50,000 times: small text, 2.5 GB expanded.
std::string QuadraticBlowup() {
  return "<!DOCTYPE r [<!ENTITY e \"" + Repeat("x", 50000) + "\">]><r><body><a>" +
         Repeat("&e;", 50000) + "</a><b><c>x</c></b></body></r>";
}

// The same, with element content: a small text that would build an enormous tree.
std::string ElementBlowup() {
  return "<!DOCTYPE r [<!ENTITY e \"" + Repeat("<x/>", 20000) + "\">]><r><body><a>" +
         Repeat("&e;", 20000) + "</a></body></r>";
}

// Entities nested in entities: each well within the depth limit, 1,400 levels together.
std::string DeepThroughEntities() {
  std::string dtd = "<!ENTITY e0 \"" + Repeat("<x>", 200) + "t" + Repeat("</x>", 200) + "\">";
  for (int level = 1; level <= 6; ++level) {
    dtd += "<!ENTITY e" + std::to_string(level) + " \"" + Repeat("<x>", 200) + "&e" +
           std::to_string(level - 1) + ";" + Repeat("</x>", 200) + "\">";
  }
  return "<!DOCTYPE r [" + dtd + "]><r><body><a>&e6;</a></body></r>";
}

TEST(HostileInput, NotAWellFormedDocumentYieldsNone) {
  const std::string nesting = Repeat("<a>", 100000) + Repeat("</a>", 100000);
  const std::string unclosedNesting = Repeat("<a>", 100000);
  const std::string texts[] = {"",
                               " \r\n\t ",
                               "\xEF\xBB\xBF",
                               "plain text",
                               "<a>",
                               "<a></b>",
                               "<a/><b/>",
                               "<a x='1' x='2'/>",
                               "<a>&undefined;</a>",
                               "<?xml version=\"1.0\"?>",
                               "<!-- only -->",
                               "<a>\x01</a>",
                               nesting,
                               unclosedNesting};
  ::testing::internal::CaptureStderr();
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(ParseUtf8(text), nullptr);
  }
  EXPECT_EQ(TTavoXMLBeanParser::ParseXmlBean(u"\uFEFF"), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(HostileInput, EveryTruncationOfADocumentYieldsNone) {
  const std::string full =
      R"(<?xml version="1.0"?><env><head><createTime>1</createTime></head><body>)"
      R"(<request><p>1</p><items><row a="1"><f>v&amp;w</f><![CDATA[x]]></row></items></request>)"
      R"(</body></env>)";
  ASSERT_NE(ParseUtf8(full), nullptr);
  for (size_t length = 0; length < full.size(); ++length) {
    SCOPED_TRACE(length);
    EXPECT_EQ(ParseUtf8(full.substr(0, length)), nullptr);
  }
}

TEST(HostileInput, RandomTextNeverCrashes) {
  std::mt19937 random(20240601);
  const std::u16string alphabet = u"<>/=\"'&;!?[]-#x a1\uFEFF\xD800\xDC00中\n";
  for (int round = 0; round < 2000; ++round) {
    std::u16string text(random() % 300, u' ');
    for (char16_t& unit : text) {
      unit = random() % 4 == 0 ? static_cast<char16_t>(random())
                               : alphabet[random() % alphabet.size()];
    }
    if (round % 2 == 0) text = u"<r><body>" + text;
    if (auto bean = TTavoXMLBeanParser::ParseXmlBean(text)) Describe(*bean->Item);
  }
}

TEST(HostileInput, EntityExpansionIsBounded) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ParseUtf8(BillionLaughs()), nullptr);
  EXPECT_EQ(ParseUtf8(QuadraticBlowup()), nullptr);
  EXPECT_EQ(ParseUtf8(ElementBlowup()), nullptr);
  EXPECT_EQ(ParseUtf8(DeepThroughEntities()), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// What a host process may have set in libxml2's process-wide parser defaults.
class HostileLibxmlDefaults {
 public:
  HostileLibxmlDefaults()
      : substitute_(xmlSubstituteEntitiesDefault(1)),
        load_(std::exchange(xmlLoadExtDtdDefaultValue, XML_DETECT_IDS | XML_COMPLETE_ATTRS)),
        validate_(std::exchange(xmlDoValidityCheckingDefaultValue, 1)) {}
  ~HostileLibxmlDefaults() {
    xmlSubstituteEntitiesDefault(substitute_);
    xmlLoadExtDtdDefaultValue = load_;
    xmlDoValidityCheckingDefaultValue = validate_;
  }

 private:
  int substitute_, load_, validate_;
};

class ExternalResources : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("xmlbean-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "secret.txt") << "SECRET";
    std::ofstream(folder / "defaults.dtd")
        << R"(<!ATTLIST a injected CDATA "SECRET"><!ENTITY e "SECRET">)";
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string Url(const char* name) const { return "file://" + (folder / name).string(); }

  std::filesystem::path folder;
};

TEST_F(ExternalResources, LocalFilesAreNeverRead) {
  const std::string documents[] = {
      "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + Url("secret.txt") + "\">]>" +
          "<r><body><a>&x;</a><b>kept</b></body></r>",
      "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + (folder / "secret.txt").string() + "\">]>" +
          "<r><body><a>&x;</a><b>kept</b></body></r>",
      "<!DOCTYPE r SYSTEM \"" + Url("defaults.dtd") + "\"><r><body><a/><b>kept</b></body></r>",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + Url("defaults.dtd") + "\"> %p;]>" +
          "<r><body><a/><b>kept</b></body></r>",
  };
  ::testing::internal::CaptureStderr();
  for (bool hostileDefaults : {false, true}) {
    std::optional<HostileLibxmlDefaults> defaults;
    if (hostileDefaults) defaults.emplace();
    for (const std::string& document : documents) {
      SCOPED_TRACE(document);
      auto bean = ParseUtf8(document);
      if (bean == nullptr) continue;  // refusing the document is sound too
      const std::string tree = Describe(*bean->Item);
      EXPECT_NE(tree.find("b='kept'"), std::string::npos) << tree;
      EXPECT_EQ(tree.find("SECRET"), std::string::npos) << tree;
    }
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(ExternalResources, NoNetworkConnectionIsMade) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 8), 0);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string base = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

  HostileLibxmlDefaults defaults;
  for (const std::string& document :
       {"<!DOCTYPE r SYSTEM \"" + base + "d.dtd\"><r><body><b>kept</b></body></r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + base +
            "x\">]><r><body><a>&x;</a><b>kept</b></body></r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + base +
            "p\"> %p;]><r><body><b>kept</b></body></r>"}) {
    auto bean = ParseUtf8(document);
    if (bean != nullptr) {
      EXPECT_EQ(bean->Item->GetPropertyValue("b"), "kept");
    }
  }
  EXPECT_LT(::accept(listener, nullptr, nullptr), 0);
  EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
  ::close(listener);
}

// libxml2 holds one text to 10 MB; a document with a larger one is refused whole rather than
// read with its text cut short, whatever the shape of the text.
TEST(HostileInput, TextBeyondTenMegabytesIsRefused) {
  std::u16string oneLine(50'000'000, u'7');
  std::u16string lines(12'000'000, u'7');  // just past the limit, and many lines
  for (size_t i = 1; i < lines.size(); i += 2) lines[i] = u'\n';
  for (const std::u16string* text : {&oneLine, &lines}) {
    EXPECT_EQ(TTavoXMLBeanParser::ParseXmlBean(u"<r><body><a>" + *text + u"</a></body></r>"),
              nullptr);
  }
  const std::string large = "<r><body><a>" + Repeat("0123456789", 900'000) + "</a></body></r>";
  auto bean = ParseUtf8(large);
  ASSERT_NE(bean, nullptr);
  EXPECT_EQ(bean->Item->GetPropertyValue("a").size(), 9'000'000u);
}

TEST(HostileInput, TwoHundredThousandElementsParse) {
  const std::string xml = "<r><body>" + Repeat("<f>1</f>", 200000) + "</body></r>";
  auto bean = ParseUtf8(xml);
  ASSERT_NE(bean, nullptr);
  EXPECT_EQ(bean->Item->PropertyCount(), 200000);
}

}  // namespace
}  // namespace tavo
