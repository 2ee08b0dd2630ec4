#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ParseHelpers.h"
#include "platform/codepage/CodePage.h"

namespace tavo {
namespace {

using testing::Describe;
using testing::ParseUtf8;
using Map = std::map<std::string, std::string>;

const Map& Parameters(const TItem* node) { return dynamic_cast<const TRequest&>(*node).Parameters; }

TEST(EnvelopeParser, HeadFillsServiceUserAndCreateTime) {
  auto bean = ParseUtf8(R"(<env><head>
      <service id="7" kind="print"><handler>h</handler><action>a</action>
        <handleTime>t</handleTime><replyCode>0</replyCode><replyMsg> ok </replyMsg>
        <lastGetTime>l</lastGetTime></service>
      <service><handler>second</handler></service>
      <user level="2"><userId>u</userId><loginName>n</loginName><loginType>lt</loginType>
        <password>p</password><userType>ut</userType>
        <encryptedPassword>e</encryptedPassword></user>
      <createTime>42</createTime></head></env>)");
  ASSERT_NE(bean, nullptr);
  const TService& s = *bean->Service;
  EXPECT_EQ(s.handler + s.action + s.handleTime + s.replyCode + s.replyMsg + s.lastGetTime,
            "hat0 ok l");
  EXPECT_EQ(s.GetAttribute("id"), "7");
  EXPECT_EQ(s.Attributes->Count(), 2);
  const TUser& u = *bean->User;
  EXPECT_EQ(u.userId + u.loginName + u.loginType + u.password + u.userType + u.encryptedPassword,
            "unltpute");
  EXPECT_EQ(u.GetAttribute("LEVEL"), "2");
  EXPECT_EQ(bean->CreateTime, 42);
  EXPECT_EQ(bean->Item->ItemCount(), 0);  // no body
  EXPECT_EQ(bean->Item->Name, "");
}

TEST(EnvelopeParser, CreateTimeReadsAsSigned64BitIntegerOrZero) {
  const std::pair<const char*, int64_t> cases[] = {
      {"42", 42},
      {"-7", -7},
      {"+5", 5},
      {"  \t12", 12},
      {"$1F", 31},
      {"x10", 16},
      {"0X10", 16},
      {"-$10", -16},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"$FFFFFFFFFFFFFFFF", -1},
      {"9223372036854775808", 0},
      {"$1FFFFFFFFFFFFFFFF", 0},
      {"abc", 0},
      {"12 ", 0},
      {"1.5", 0},
      {"$", 0},
      {"-", 0},
      {"", 0},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    auto bean = ParseUtf8(std::string("<e><head><createTime>") + text + "</createTime></head></e>");
    ASSERT_NE(bean, nullptr);
    EXPECT_EQ(bean->CreateTime, expected);
  }
  auto without = ParseUtf8("<e><head/></e>");
  ASSERT_NE(without, nullptr);
  EXPECT_EQ(without->CreateTime, 0);
}

struct BodyCase {
  const char* what;
  const char* body;
  const char* tree;  // Describe() of Item
  Map request;       // parameters of the request node, when it survives
  Map response;      // parameters of the response node, when it survives
  bool requestIsTree;
  bool responseIsTree;
};

const BodyCase kBodyCases[] = {
    {"plain content",
     "<body><printing><e><x/></e></printing></body>",
     "body{printing{e{x=''}}}",
     {},
     {},
     false,
     false},
    {"request parameters only",
     "<body><request><b>3</b><a>1</a><a>2</a></request><other><x/></other></body>",
     "",
     {{"a", "2"}, {"b", "3"}},
     {},
     false,
     false},
    {"request with items",
     R"(<body><request><p>1</p><items n="r"><row>1</row></items></request></body>)",
     "items[n=r]{row='1'}",
     {},
     {},
     true,
     false},
    {"response with items",
     "<body><response><code>0</code><items><row><f>v</f></row></items></response></body>",
     "items{row{f='v'}}",
     {},
     {},
     false,
     true},
    {"request and response share one tree",
     R"(<body><request><items a="1"><r>1</r></items></request>)"
     R"(<response><c>0</c><items b="2"><s>2</s></items></response></body>)",
     "items[a=1,b=2]{r='1',s='2'}",
     {},
     {},
     true,
     true},
    {"every node kind is a parameter",
     "<body><response>lead<!--note--><a>1</a><![CDATA[cd]]><a>2</a></response></body>",
     "",
     {},
     {{"#cdata-section", "cd"}, {"#comment", "note"}, {"#text", "lead"}, {"a", "2"}},
     false,
     false},
    {"empty request and response", "<body><request/><response/></body>", "", {}, {}, false, false},
};

TEST(EnvelopeParser, BodyShapes) {
  for (const BodyCase& c : kBodyCases) {
    SCOPED_TRACE(c.what);
    auto bean = ParseUtf8(std::string("<root>") + c.body + "</root>");
    ASSERT_NE(bean, nullptr);
    EXPECT_EQ(Describe(*bean->Item), c.tree);
    EXPECT_EQ(bean->Request == bean->Item, c.requestIsTree);
    EXPECT_EQ(bean->Response == bean->Item, c.responseIsTree);
    if (!c.requestIsTree) {
      EXPECT_EQ(Parameters(bean->Request), c.request);
    }
    if (!c.responseIsTree) {
      EXPECT_EQ(Parameters(bean->Response), c.response);
    }
  }
}

TEST(EnvelopeParser, BlanksAroundTheTextAreTrimmedAndAByteOrderMarkStays) {
  const std::u16string doc = u"<?xml version=\"1.0\"?><r><body><a>1</a></body></r>";
  for (const std::u16string& text :
       {u"\r\n \t\x01" + doc + u"\n\n ", u"\uFEFF" + doc, u"  \uFEFF" + doc}) {
    auto bean = TTavoXMLBeanParser::ParseXmlBean(text);
    ASSERT_NE(bean, nullptr);
    EXPECT_EQ(bean->Item->GetPropertyValue("a"), "1");
  }
}

TEST(EnvelopeParser, EncodingDeclarationDoesNotChangeHowTheTextIsRead) {
  for (const char* encoding : {"GBK", "GB2312", "UTF-16", "ISO-8859-1", "no-such-encoding"}) {
    SCOPED_TRACE(encoding);
    const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                            "\"?><r><body><fphm>发票№12</fphm></body></r>";
    auto bean = ParseUtf8(xml);
    ASSERT_NE(bean, nullptr);
    EXPECT_EQ(bean->Item->GetPropertyValue("fphm"), "发票№12");
    codepage::ScopedCodeSet gbk("GBK");
    auto gbkBean = ParseUtf8(xml);
    ASSERT_NE(gbkBean, nullptr);
    EXPECT_EQ(gbkBean->Item->GetPropertyValue("fphm"), codepage::WideToAnsi(u"发票№12"));
  }
  // A lone surrogate is no character: it reads as "?".
  auto bean = TTavoXMLBeanParser::ParseXmlBean(u"<r><body><a>\xD800</a></body></r>");
  ASSERT_NE(bean, nullptr);
  EXPECT_EQ(bean->Item->GetPropertyValue("a"), "?");
}

}  // namespace
}  // namespace tavo
