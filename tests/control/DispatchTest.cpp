// Late-bound calls as script hosts make them, and the control's other interfaces: object
// safety, error-info support and the event connection point.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "control/ControlHost.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/codepage/CodePage.h"
#include "platform/com/Activation.h"

namespace tavo::testing {
namespace {

const char16_t* const kMethods[] = {
    u"fprintText",        u"fprintImg",      u"downloadImg", u"fprintStart",   u"fprintEnd",
    u"PrintXmlData",      u"PreviewXmlData", u"GetVer",      u"GetOcxVersion", u"SetDefaultPrinter",
    u"GetDefaultPrinter", u"GetPrinterList", u"IFOcxGuid"};

std::u16string Recased(std::u16string_view name, bool upper) {
  std::u16string text(name);
  for (char16_t& c : text) {
    if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (!upper && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

using Dispatch = ControlTest;

TEST_F(Dispatch, EveryMethodNameMapsToItsDispatchIdInAnyLetterCase) {
  DISPID expected = 201;
  for (const char16_t* method : kMethods) {
    for (std::u16string name :
         {std::u16string(method), Recased(method, true), Recased(method, false)}) {
      LPOLESTR names[] = {name.data()};
      DISPID id = 0;
      EXPECT_EQ(control_->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
      EXPECT_EQ(id, expected) << codepage::WideToUtf8(name);
    }
    ++expected;
  }
}

TEST_F(Dispatch, UnknownNamesAreReportedPerName) {
  for (std::u16string name : {u"Print", u"fprintTextX", u"", u"GetVer "}) {
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(control_->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  // Parameter names come after the method name; an unknown one is marked.
  std::u16string method = u"downloadImg", known = u"DESIMG", unknown = u"target";
  LPOLESTR names[] = {method.data(), known.data(), unknown.data()};
  DISPID ids[3] = {};
  EXPECT_EQ(control_->GetIDsOfNames(GUID_NULL, names, 3, LOCALE_USER_DEFAULT, ids),
            DISP_E_UNKNOWNNAME);
  EXPECT_THAT(ids, ::testing::ElementsAre(203, 1, DISPID_UNKNOWN));
}

TEST_F(Dispatch, ArgumentsMustMatchTheDeclaration) {
  const struct {
    const char16_t* method;
    std::vector<Arg> args;
    HRESULT status;
    UINT argumentError;  // position in the reversed argument array
  } cases[] = {
      {u"GetVer", {}, DISP_E_BADPARAMCOUNT, UINT(-1)},
      {u"GetVer", {u"a", u"b"}, DISP_E_BADPARAMCOUNT, UINT(-1)},
      {u"fprintText", {1, 2, u"宋体", 9}, DISP_E_BADPARAMCOUNT, UINT(-1)},
      {u"GetPrinterList", {u"x"}, DISP_E_BADPARAMCOUNT, UINT(-1)},
      {u"fprintText", {1, u"two", u"宋体", 9, u"x"}, DISP_E_TYPEMISMATCH, 3},
      {u"fprintImg", {1, 2, 3, u"4x", u"img"}, DISP_E_TYPEMISMATCH, 1},
      {u"fprintImg", {u"", 2, 3, 4, u"img"}, DISP_E_TYPEMISMATCH, 4},
      {u"fprintImg", {u"99999999999", 2, 3, 4, u"img"}, DISP_E_OVERFLOW, 4},
  };
  for (const auto& c : cases) {
    const CallOutcome outcome = testing::Call(*control_.Get(), c.method, c.args);
    EXPECT_EQ(outcome.status, c.status) << codepage::WideToUtf8(c.method);
    if (c.argumentError != UINT(-1)) {
      EXPECT_EQ(outcome.argumentError, c.argumentError) << codepage::WideToUtf8(c.method);
    }
  }
}

TEST_F(Dispatch, DrawingMethodsAcceptAnyArgumentsAndDoNothing) {
  const struct {
    const char16_t* method;
    std::vector<Arg> args;
  } cases[] = {
      {u"fprintText", {0, 0, u"", 0, u""}},
      {u"fprintText", {-5, INT32_MAX, u"no such font", INT32_MIN, u"文字"}},
      {u"fprintText", {u"12", u"-3", u"宋体", u"9", u"text given for numbers"}},
      {u"fprintImg", {INT32_MIN, -1, INT32_MAX, 0, u"not a picture"}},
      {u"fprintImg", {1, 2, 3, 4, u""}},
  };
  for (const auto& c : cases) {
    const CallOutcome outcome = testing::Call(*control_.Get(), c.method, c.args);
    EXPECT_EQ(outcome.status, S_OK) << codepage::WideToUtf8(c.method);
    EXPECT_EQ(outcome.value->vt, VT_EMPTY);
  }
}

TEST_F(Dispatch, InvokeRejectsWhatNoMethodTakes) {
  ScopedVariant result;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  for (DISPID id : {0, 200, 214, -1}) {
    EXPECT_EQ(control_->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                               result.Get(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND)
        << id;
  }
  // Named arguments.
  ScopedVariant path = ScopedVariant::String(u"/nonexistent");
  DISPID named[] = {0};
  DISPPARAMS withNames{path.Get(), named, 1, 1};
  EXPECT_EQ(control_->Invoke(208, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &withNames,
                             result.Get(), nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  // A property put is no method call.
  DISPPARAMS one{path.Get(), nullptr, 1, 0};
  EXPECT_EQ(control_->Invoke(208, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &one,
                             result.Get(), nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  // The same call, made properly, succeeds.
  EXPECT_EQ(control_->Invoke(208, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one,
                             result.Get(), nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result->vt, VT_BSTR);
}

TEST_F(Dispatch, TheControlAnswersItsInterfacesAsOneObject) {
  const IID supported[] = {IID_IUnknown,          IID_IDispatch,     IID_ITavoPreFmtPrinter,
                           IID_ISupportErrorInfo, IID_IObjectSafety, IID_IConnectionPointContainer};
  ComPtr<IUnknown> identity = control_.As<IUnknown>(IID_IUnknown);
  ASSERT_TRUE(identity);
  for (const IID& iid : supported) {
    ComPtr<IUnknown> other = control_.As<IUnknown>(iid);
    ASSERT_TRUE(other) << FormatGuid(iid);
    EXPECT_EQ(other.As<IUnknown>(IID_IUnknown).Get(), identity.Get()) << FormatGuid(iid);
  }
  int sentinel = 0;
  void* object = &sentinel;
  EXPECT_EQ(control_->QueryInterface(DIID_ITavoPreFmtPrinterEvents, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  auto errors = control_.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_ITavoPreFmtPrinter), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IObjectSafety), S_FALSE);
}

TEST_F(Dispatch, ObjectSafetyKeepsOneSetOfFlagsMaskedToTheSafeOptions) {
  auto safety = control_.As<IObjectSafety>(IID_IObjectSafety);
  ASSERT_TRUE(safety);
  DWORD supported = 99, enabled = 99;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);

  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 0u) << "a new control enables nothing";

  // Only the options in the mask change; the flags are the same for every interface.
  const DWORD all = 0xFFFFFFFF;
  ASSERT_EQ(
      safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, all),
      S_OK);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_ITavoPreFmtPrinter, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, INTERFACESAFE_FOR_UNTRUSTED_CALLER);
  ASSERT_EQ(
      safety->SetInterfaceSafetyOptions(IID_ITavoPreFmtPrinter, all,
                                        INTERFACESAFE_FOR_UNTRUSTED_DATA | INTERFACE_USES_DISPEX),
      S_OK);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IUnknown, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, INTERFACESAFE_FOR_UNTRUSTED_DATA) << "reported masked with the safe options";

  // An interface the control does not offer: zeros, the lookup's failure, nothing changes.
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(DIID_ITavoPreFmtPrinterEvents, &supported, &enabled),
            E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(DIID_ITavoPreFmtPrinterEvents, all, 0),
            E_NOINTERFACE);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, INTERFACESAFE_FOR_UNTRUSTED_DATA);

  // Each control object has flags of its own.
  ComPtr<IDispatch> other;
  ASSERT_EQ(CoCreateInstanceByProgID(kProgId, nullptr, IID_IDispatch, other.ReceiveVoid()), S_OK);
  auto otherSafety = other.As<IObjectSafety>(IID_IObjectSafety);
  ASSERT_EQ(otherSafety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 0u);
}

TEST_F(Dispatch, TheEventInterfaceIsOfferedAsAConnectionPoint) {
  auto container = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ASSERT_TRUE(container);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(DIID_ITavoPreFmtPrinterEvents, point.Receive()), S_OK);
  IID iid{};
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, DIID_ITavoPreFmtPrinterEvents);
  ComPtr<IConnectionPointContainer> back;
  EXPECT_EQ(point->GetConnectionPointContainer(back.Receive()), S_OK);
  EXPECT_EQ(back.As<IUnknown>(IID_IUnknown).Get(), control_.As<IUnknown>(IID_IUnknown).Get());

  ComPtr<IConnectionPoint> none;
  EXPECT_EQ(container->FindConnectionPoint(IID_ITavoPreFmtPrinter, none.Receive()),
            CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(none);
}

// The dual interface: the same methods through the virtual table, out values freshly set.
TEST_F(Dispatch, TheVirtualTableServesTheSameMethods) {
  auto direct = control_.As<ITavoPreFmtPrinter>(IID_ITavoPreFmtPrinter);
  ASSERT_TRUE(direct);
  Bstr version(u"2.0.0.2");
  int32_t value = 42;
  EXPECT_EQ(direct->GetOcxVersion(version.Get(), &value), S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(direct->GetOcxVersion(version.Get(), nullptr), E_POINTER);

  Bstr text;
  Bstr missing(u"/no/such/file.dll");
  EXPECT_EQ(direct->GetVer(missing.Get(), text.Receive()), S_OK);
  EXPECT_EQ(text.View(), u"");
  EXPECT_EQ(direct->fprintText(1, 2, nullptr, 3, nullptr), S_OK);
}

}  // namespace
}  // namespace tavo::testing
