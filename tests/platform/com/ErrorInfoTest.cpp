#include "platform/com/ErrorInfo.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"

namespace tavo {
namespace {

std::u16string Description(IErrorInfo* info) {
  Bstr text;
  EXPECT_EQ(info->GetDescription(text.Receive()), S_OK);
  return std::u16string(text.View());
}

TEST(ErrorInfo, PostedInformationIsTakenOnce) {
  ASSERT_EQ(PostErrorInfo(IID_IDispatch, u"TavoPreFmtPrinterX.TavoPreFmtPrinter",
                          u"Printer is not currently printing", 7),
            S_OK);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Receive()), S_OK);
  GUID iid{};
  ASSERT_EQ(info->GetGUID(&iid), S_OK);
  EXPECT_EQ(iid, IID_IDispatch);
  Bstr source;
  ASSERT_EQ(info->GetSource(source.Receive()), S_OK);
  EXPECT_EQ(source.View(), u"TavoPreFmtPrinterX.TavoPreFmtPrinter");
  EXPECT_EQ(Description(info.Get()), u"Printer is not currently printing");
  DWORD help = 0;
  ASSERT_EQ(info->GetHelpContext(&help), S_OK);
  EXPECT_EQ(help, 7u);

  ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.Receive()), S_FALSE);
  EXPECT_FALSE(again);
}

TEST(ErrorInfo, EachThreadHasItsOwn) {
  PostErrorInfo(IID_IDispatch, u"main", u"main thread's failure");
  std::u16string seenByOther = u"unset";
  std::thread other([&] {
    ComPtr<IErrorInfo> info;
    seenByOther = GetErrorInfo(0, info.Receive()) == S_FALSE ? u"none" : Description(info.Get());
    PostErrorInfo(IID_IDispatch, u"other", u"other thread's failure");
  });
  other.join();
  EXPECT_EQ(seenByOther, u"none");
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Receive()), S_OK);
  EXPECT_EQ(Description(info.Get()), u"main thread's failure");
}

TEST(ErrorInfo, SetReplacesAndNullClears) {
  ComPtr<ICreateErrorInfo> creator;
  ASSERT_EQ(CreateErrorInfo(creator.Receive()), S_OK);
  creator->SetDescription(u"first");
  const ComPtr<IErrorInfo> first = creator.As<IErrorInfo>(IID_IErrorInfo);
  ASSERT_TRUE(first);
  ASSERT_EQ(SetErrorInfo(0, first.Get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
  ComPtr<IErrorInfo> none;
  EXPECT_EQ(GetErrorInfo(0, none.Receive()), S_FALSE);

  ASSERT_EQ(SetErrorInfo(0, first.Get()), S_OK);
  PostErrorInfo(GUID_NULL, u"", u"second");
  ComPtr<IErrorInfo> latest;
  ASSERT_EQ(GetErrorInfo(0, latest.Receive()), S_OK);
  EXPECT_EQ(Description(latest.Get()), u"second");
  EXPECT_EQ(Description(first.Get()), u"first");
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace tavo
