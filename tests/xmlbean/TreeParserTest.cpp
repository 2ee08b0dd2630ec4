#include <gtest/gtest.h>
#include <libxml/tree.h>

#include "ParseHelpers.h"
#include "platform/codepage/CodePage.h"

namespace tavo {
namespace {

using testing::Describe;
using testing::ParseUtf8;

struct TreeCase {
  const char* what;
  const char* body;  // the content of <doc><body>...</body></doc>
  const char* tree;  // Describe() of the bean's Item
};

const TreeCase kTreeCases[] = {
    {"rule example",
     R"(<printing pageWidth="210"><e type="text" left="10"><text>abc</text></e>)"
     R"(<e type="line"><x/></e><note left="5"/></printing>)",
     "body{printing[pageWidth=210]{e[type=text,left=10]{text='abc'},e[type=line]{x=''},"
     "note=''}}"},
    {"leaf with text", "<fphm>12345</fphm>", "body{fphm='12345'}"},
    {"prop with name and value", R"(<prop name="fphm" value="1" dataType="int">2</prop>)",
     "body{fphm='2':1/int}"},
    {"prop with name only", R"(<prop name="fphm">2</prop>)", "body{fphm='2'}"},
    {"prop without name", R"(<prop value="1">2</prop>)", "body{prop='2'}"},
    {"prop with empty name", R"(<prop name="" value="1">2</prop>)", "body{prop='2'}"},
    {"prop with children is an item", R"(<prop name="n"><v/></prop>)", "body{prop[name=n]{v=''}}"},
    {"empty element keeps no attributes", R"(<line left="1" top="2"/>)", "body{line=''}"},
    {"one child keeps all attributes", R"(<line left="1" top="2" name="n"><x/></line>)",
     "body{line[left=1,top=2,name=n]{x=''}}"},
    {"blanks, comment and CDATA only", "<a> <!--c--> <![CDATA[z]]> </a>", "body{a='z'}"},
    {"blanks only are the text", "<a>   </a>", "body{a='   '}"},
    {"mixed content drops the text", "<a>lost<b>1</b>lost too</a>", "body{a{b='1'}}"},
    {"same names in document order", "<r>1</r><r>2</r><i><x/></i><i><y/></i>",
     "body{r='1',r='2',i{x=''},i{y=''}}"},
    {"attributes in document order", R"(<e z="1" a="2" m="3"><c/></e>)",
     "body{e[z=1,a=2,m=3]{c=''}}"},
    {"text is untrimmed and unescaped", "<t>  &lt;a&#x4E2D;&amp;  </t>", "body{t='  <a中&  '}"},
    {"processing instruction is content", "<a><?target data?></a>", "body{a{target='data'}}"},
    {"qualified names keep their prefix", R"(<p:a xmlns:p="urn:p" p:q="1"><p:b>t</p:b></p:a>)",
     "body{p:a[xmlns:p=urn:p,p:q=1]{p:b='t'}}"},
    {"text of a leaf joins its pieces", "<t>a<![CDATA[<b>]]><!--no-->c</t>", "body{t='a<b>c'}"},
};

TEST(TreeParser, ElementsBecomeItemsOrProperties) {
  for (const char* codeSet : {"UTF-8", "GBK"}) {
    codepage::ScopedCodeSet scope(codeSet);
    for (const TreeCase& c : kTreeCases) {
      SCOPED_TRACE(std::string(codeSet) + ": " + c.what);
      auto bean = ParseUtf8(std::string("<doc><body>") + c.body + "</body></doc>");
      ASSERT_NE(bean, nullptr);
      EXPECT_EQ(Describe(*bean->Item), codepage::Utf8ToAnsi(c.tree));
    }
  }
}

TEST(TreeParser, LookupsOnTheRuleExample) {
  auto bean = ParseUtf8(std::string("<doc><body>") + kTreeCases[0].body + "</body></doc>");
  ASSERT_NE(bean, nullptr);
  TItem* printing = bean->Item->FindItem("printing");
  ASSERT_NE(printing, nullptr);
  EXPECT_EQ(printing->GetAttribute("PAGEWIDTH"), "210");
  EXPECT_EQ(printing->ItemCount(), 2);
  EXPECT_EQ(printing->PropertyCount(), 1);
  EXPECT_EQ(printing->ItemAt(0)->GetPropertyValue("text"), "abc");
  EXPECT_EQ(printing->ItemAt(1)->GetAttribute("type"), "line");
  EXPECT_EQ(printing->GetPropertyNameAt(0), "note");
}

TEST(TreeParser, InternalEntitiesAreExpandedInTexts) {
  auto bean = ParseUtf8(R"(<!DOCTYPE r [<!ENTITY co "Tavo &amp; Co">]>)"
                        R"(<r><body><e v="&co;!"><name>&co;</name></e></body></r>)");
  ASSERT_NE(bean, nullptr);
  EXPECT_EQ(Describe(*bean->Item), "body{e[v=Tavo & Co!]{name{co='Tavo & Co'}}}");
}

TEST(TreeParser, NamesAndTextsArriveInTheAnsiCodePage) {
  const char* xml = R"(<?xml version="1.0" encoding="GBK"?>)"
                    R"(<票据><body><发票 名称="值"><号码>中文한</号码></发票></body></票据>)";
  {
    codepage::ScopedCodeSet gbk("GBK");
    auto bean = ParseUtf8(xml);
    ASSERT_NE(bean, nullptr);
    TItem* invoice = bean->Item->FindItem("\xB7\xA2\xC6\xB1");  // "发票" in GBK
    ASSERT_NE(invoice, nullptr);
    EXPECT_EQ(invoice->GetAttribute(codepage::WideToAnsi(u"名称")), codepage::WideToAnsi(u"值"));
    // Hangul has no GBK code: it arrives in its GB18030 bytes.
    EXPECT_EQ(invoice->GetPropertyValue(codepage::WideToAnsi(u"号码")),
              "\xD6\xD0\xCE\xC4\x83\x36\x84\x33");  // "中文한"
  }
  auto bean = ParseUtf8(xml);
  ASSERT_NE(bean, nullptr);
  EXPECT_EQ(Describe(*bean->Item), "body{发票[名称=值]{号码='中文한'}}");
}

// The DOM layer, through a parser holding one loaded document.
class DomLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(parser.LoadXml(
        uR"(<doc a="1" A="2"><x>first<!--c--><![CDATA[cd]]><y>deep</y></x><x>second</x><?pi body?></doc>)"));
  }
  TTavoXMLBeanParser parser;
};

TEST_F(DomLayer, NamesOfEveryNodeKind) {
  XmlNode x = parser.SelectChild(parser.Root, "x");
  ASSERT_NE(x, nullptr);
  std::u16string names;
  for (XmlNode n = TTavoXMLParser::FirstChild(x); n != nullptr;
       n = TTavoXMLParser::NextSibling(n)) {
    names += TTavoXMLParser::NodeName(n) + u" ";
  }
  EXPECT_EQ(names, u"#text #comment #cdata-section y ");
  XmlNode pi = x->next->next;
  EXPECT_EQ(TTavoXMLParser::NodeName(pi), u"pi");
  EXPECT_TRUE(TTavoXMLBeanParser::IsContentNode(pi));
  EXPECT_EQ(TTavoXMLBeanParser::CountContentChildren(x), 1);
  EXPECT_EQ(TTavoXMLBeanParser::CountContentChildren(parser.Root), 3);
}

TEST_F(DomLayer, TextsChildTextsAndAttributeTexts) {
  EXPECT_EQ(parser.NodeText(parser.Root), "firstcddeepsecond");
  EXPECT_EQ(parser.GetChildText(parser.Root, "x"), "firstcddeep");
  EXPECT_EQ(parser.GetChildText(parser.Root, "X"), "");
  EXPECT_EQ(parser.GetChildText(nullptr, "x"), "");
  EXPECT_EQ(parser.GetAttributeText(parser.Root, "a"), "1");
  EXPECT_EQ(parser.GetAttributeText(parser.Root, "A"), "2");
  EXPECT_EQ(parser.GetAttributeText(parser.Root, "b"), "");
  EXPECT_EQ(parser.SelectChild(parser.Root, "pi"), nullptr);  // elements only
  EXPECT_EQ(parser.SelectChild(nullptr, "x"), nullptr);
}

TEST_F(DomLayer, BuildItemAppendsToAFilledTarget) {
  TItem target;
  target.Name = "old";
  target.AddAttribute("kept", "k");
  target.AddChild(std::make_unique<TItemProperty>("p", "v"));
  EXPECT_EQ(parser.BuildItem(parser.Root, &target), &target);
  EXPECT_EQ(Describe(target), "doc[kept=k,a=1,A=2]{p='v',x{y='deep'},x='second',pi='body'}");
  std::unique_ptr<TItem> fresh(parser.BuildItem(parser.Root, nullptr));
  EXPECT_EQ(Describe(*fresh), "doc[a=1,A=2]{x{y='deep'},x='second',pi='body'}");
}

}  // namespace
}  // namespace tavo
