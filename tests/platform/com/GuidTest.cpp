#include "platform/com/Guid.h"

#include <gtest/gtest.h>

#include "platform/com/ClassFactory.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/ObjectSafety.h"

namespace tavo {
namespace {

TEST(Guid, StandardInterfacesHaveTheSystemsIdentifiers) {
  const std::pair<GUID, const char*> cases[] = {
      {IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"},
      {IID_IDispatch, "{00020400-0000-0000-C000-000000000046}"},
      {IID_IClassFactory, "{00000001-0000-0000-C000-000000000046}"},
      {IID_ISupportErrorInfo, "{DF0B3D60-548F-101B-8E65-08002B2BD119}"},
      {IID_IErrorInfo, "{1CF2B120-547D-101B-8E65-08002B2BD119}"},
      {IID_IObjectSafety, "{CB5BDC81-93C1-11CF-8F20-00805F2CD064}"},
      {IID_IConnectionPointContainer, "{B196B284-BAB4-101A-B69C-00AA00341D07}"},
      {IID_IConnectionPoint, "{B196B286-BAB4-101A-B69C-00AA00341D07}"},
  };
  for (const auto& [guid, text] : cases) {
    EXPECT_EQ(FormatGuid(guid), text);
    EXPECT_EQ(ParseGuid(text), guid) << text;
  }
}

TEST(Guid, ParsesEitherCaseAndFormatsUpperCase) {
  const auto guid = ParseGuid("{6e1a0f3c-2b4d-4c5e-9f60-718293a4b5c6}");
  ASSERT_TRUE(guid.has_value());
  EXPECT_EQ(guid->Data1, 0x6E1A0F3Cu);
  EXPECT_EQ(guid->Data2, 0x2B4D);
  EXPECT_EQ(guid->Data3, 0x4C5E);
  EXPECT_EQ(guid->Data4[0], 0x9F);
  EXPECT_EQ(guid->Data4[7], 0xC6);
  EXPECT_EQ(FormatGuid(*guid), "{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6}");
  EXPECT_EQ(FormatGuidWide(*guid), u"{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6}");
  EXPECT_NE(*guid, IID_IUnknown);
}

TEST(Guid, RejectsEverythingButTheBracedForm) {
  for (const char* text : {
           "",
           "6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6",
           "{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6",
           "{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C}",
           "{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6}x",
           " {6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6}",
           "{6E1A0F3C+2B4D-4C5E-9F60-718293A4B5C6}",
           "{6E1A0F3C-2B4D4C5E-9F60-718293A4B5C6-}",
           "{6E1A0F3G-2B4D-4C5E-9F60-718293A4B5C6}",
           "{{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6}}",
       }) {
    EXPECT_FALSE(ParseGuid(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace tavo
