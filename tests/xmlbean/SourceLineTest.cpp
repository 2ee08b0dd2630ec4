// Items and properties keep the line their element starts on, and a text that does not parse
// keeps the DOM's reason, so that a rule's mistakes can be told by line.
#include <gtest/gtest.h>

#include "platform/codepage/CodePage.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace tavo {
namespace {

TEST(SourceLine, ItemsAndPropertiesKeepTheirLines) {
  TTavoXMLBeanParser parser;
  const auto bean = parser.Parse(
      u"\n\n<doc>\n<body>\n<printing a=\"1\">\n<e\n type=\"text\">"
      u"<text>x</text></e>\n<ln/>\n</printing></body></doc>");
  ASSERT_TRUE(bean);
  // The text is trimmed before it loads, so lines count from the root element.
  EXPECT_EQ(bean->Item->SourceLine, 2);
  const TItem* printing = bean->Item->FindItem("printing");
  ASSERT_TRUE(printing);
  EXPECT_EQ(printing->SourceLine, 3);
  const TItem* element = printing->ItemAt(0);
  ASSERT_TRUE(element);
  // A start tag over several lines is numbered, as libxml2 does, by the line it ends on.
  EXPECT_EQ(element->SourceLine, 5);
  const auto* text = dynamic_cast<const TItemProperty*>(element->Children->entries[0].object);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->SourceLine, 5);
  const auto* line = dynamic_cast<const TItemProperty*>(printing->Children->entries[1].object);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->Name, "ln");
  EXPECT_EQ(line->SourceLine, 6);
  EXPECT_TRUE(parser.LastFailure().message.empty());
}

TEST(SourceLine, ATextThatDoesNotParseKeepsTheReason) {
  TTavoXMLBeanParser parser;
  EXPECT_FALSE(parser.Parse(u"<doc>\n<body>\n<a b=1/></body></doc>"));
  EXPECT_EQ(parser.LastFailure().line, 3);
  EXPECT_EQ(parser.LastFailure().column, 6);
  EXPECT_EQ(parser.LastFailure().message, "AttValue: \" or ' expected");

  EXPECT_FALSE(parser.Parse(u"   "));
  EXPECT_EQ(parser.LastFailure().message, "Document is empty");
  EXPECT_EQ(parser.LastFailure().line, 0);

  // A new text that loads clears the reason.
  EXPECT_TRUE(parser.Parse(u"<doc/>"));
  EXPECT_TRUE(parser.LastFailure().message.empty());
}

}  // namespace
}  // namespace tavo
