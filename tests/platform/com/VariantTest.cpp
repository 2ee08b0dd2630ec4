#include "platform/com/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/com/Dispatch.h"

namespace tavo {
namespace {

ScopedVariant Real(double value) {
  ScopedVariant v;
  v->vt = VT_R8;
  v->dblVal = value;
  return v;
}

ScopedVariant Short(int16_t value) {
  ScopedVariant v;
  v->vt = VT_I2;
  v->iVal = value;
  return v;
}

ScopedVariant Null() {
  ScopedVariant v;
  v->vt = VT_NULL;
  return v;
}

// What a converted value holds, as text, for comparing in tables.
std::string Describe(const VARIANT& v) {
  switch (v.vt) {
    case VT_I4:
      return "I4 " + std::to_string(v.lVal);
    case VT_I2:
      return "I2 " + std::to_string(v.iVal);
    case VT_R8:
      return "R8 " + std::to_string(v.dblVal);
    case VT_BOOL:
      return "BOOL " + std::to_string(v.boolVal);
    case VT_BSTR: {
      std::string text;
      for (char16_t c : BstrView(v.bstrVal)) text += c < 0x80 ? static_cast<char>(c) : '?';
      return "BSTR " + text;
    }
    case VT_EMPTY:
      return "EMPTY";
    default:
      return "vt " + std::to_string(v.vt);
  }
}

std::string Change(const ScopedVariant& source, VARTYPE type, uint16_t flags = 0) {
  ScopedVariant target;
  const HRESULT status = VariantChangeType(target.Get(), source.Get(), flags, type);
  if (status == DISP_E_TYPEMISMATCH) return "mismatch";
  if (status == DISP_E_OVERFLOW) return "overflow";
  if (FAILED(status)) return "failed " + std::to_string(status);
  return Describe(*target.Get());
}

TEST(Variant, ConversionsBetweenLongsTextAndBooleans) {
  struct Case {
    ScopedVariant source;
    VARTYPE type;
    std::string expected;
  };
  Case cases[] = {
      {ScopedVariant::Long(-42), VT_BSTR, "BSTR -42"},
      {ScopedVariant::Long(7), VT_BOOL, "BOOL -1"},
      {ScopedVariant::Long(0), VT_BOOL, "BOOL 0"},
      {ScopedVariant::Long(40000), VT_I2, "overflow"},
      {ScopedVariant::Long(-5), VT_R8, "R8 -5.000000"},
      {ScopedVariant::String(u" 123 "), VT_I4, "I4 123"},
      {ScopedVariant::String(u"+17"), VT_I4, "I4 17"},
      {ScopedVariant::String(u"-2147483648"), VT_I4, "I4 -2147483648"},
      {ScopedVariant::String(u"2147483648"), VT_I4, "overflow"},
      {ScopedVariant::String(u"2.5"), VT_I4, "I4 2"},
      {ScopedVariant::String(u"3.5"), VT_I4, "I4 4"},
      {ScopedVariant::String(u"1e3"), VT_I4, "I4 1000"},
      {ScopedVariant::String(u""), VT_I4, "mismatch"},
      {ScopedVariant::String(u"12abc"), VT_I4, "mismatch"},
      {ScopedVariant::String(u"+-1"), VT_I4, "mismatch"},
      {ScopedVariant::String(u"nan"), VT_I4, "mismatch"},
      {ScopedVariant::String(u"１２"), VT_I4, "mismatch"},  // full-width digits
      {ScopedVariant::String(u"True"), VT_BOOL, "BOOL -1"},
      {ScopedVariant::String(u" false"), VT_BOOL, "BOOL 0"},
      {ScopedVariant::String(u"0"), VT_BOOL, "BOOL 0"},
      {ScopedVariant::String(u"yes"), VT_BOOL, "mismatch"},
      {ScopedVariant::String(u"文本"), VT_BSTR, "BSTR ??"},
      {ScopedVariant::Bool(true), VT_I4, "I4 -1"},
      {ScopedVariant::Bool(true), VT_BSTR, "BSTR -1"},
      {ScopedVariant::Bool(false), VT_BSTR, "BSTR 0"},
      {Real(2.5), VT_I4, "I4 2"},
      {Real(-0.5), VT_I4, "I4 0"},
      {Real(1.5e10), VT_I4, "overflow"},
      {Real(std::nan("")), VT_I4, "overflow"},
      {Real(0.1), VT_BSTR, "BSTR 0.1"},
      {Short(-3), VT_I4, "I4 -3"},
      {ScopedVariant(), VT_I4, "I4 0"},
      {ScopedVariant(), VT_BSTR, "BSTR "},
      {ScopedVariant(), VT_BOOL, "BOOL 0"},
      {Null(), VT_I4, "mismatch"},
      {Null(), VT_BSTR, "mismatch"},
      {ScopedVariant::Long(1), VT_EMPTY, "mismatch"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Change(c.source, c.type), c.expected)
        << Describe(*c.source.Get()) << " to " << c.type;
  EXPECT_EQ(Change(ScopedVariant::Bool(true), VT_BSTR, VARIANT_ALPHABOOL), "BSTR True");
  EXPECT_EQ(Change(ScopedVariant::Long(1), VT_I4 | VT_BYREF),
            "failed " + std::to_string(DISP_E_BADVARTYPE));
}

TEST(Variant, ConvertsByReferenceSourcesAndInPlace) {
  int32_t number = 99;
  ScopedVariant reference;
  reference->vt = VT_BYREF | VT_I4;
  reference->plVal = &number;
  EXPECT_EQ(Change(reference, VT_BSTR), "BSTR 99");

  BSTR text = SysAllocString(u"-8");
  ScopedVariant textReference;
  textReference->vt = VT_BYREF | VT_BSTR;
  textReference->pbstrVal = &text;
  EXPECT_EQ(Change(textReference, VT_I4), "I4 -8");
  SysFreeString(text);

  ScopedVariant inner = ScopedVariant::Long(5);
  ScopedVariant variantReference;
  variantReference->vt = VT_BYREF | VT_VARIANT;
  variantReference->pvarVal = inner.Get();
  EXPECT_EQ(Change(variantReference, VT_BOOL), "BOOL -1");

  ScopedVariant value = ScopedVariant::String(u"12");
  ASSERT_EQ(VariantChangeType(value.Get(), value.Get(), 0, VT_I4), S_OK);
  EXPECT_EQ(Describe(*value.Get()), "I4 12");

  ScopedVariant kept = ScopedVariant::String(u"not a number");
  EXPECT_EQ(VariantChangeType(kept.Get(), kept.Get(), 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Describe(*kept.Get()), "BSTR not a number");
}

// Counts its references, to see copies and clears hold and release them.
class CountedObject final : public IUnknown {
 public:
  HRESULT QueryInterface(const IID&, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  ULONG references = 1;
};

TEST(Variant, CopiesOwnTheirStringsAndObjects) {
  ScopedVariant source = ScopedVariant::String(u"text");
  ScopedVariant copy;
  ASSERT_EQ(VariantCopy(copy.Get(), source.Get()), S_OK);
  EXPECT_NE(copy->bstrVal, source->bstrVal);
  EXPECT_EQ(BstrView(copy->bstrVal), u"text");

  CountedObject object;
  {
    ScopedVariant holder;
    holder->vt = VT_UNKNOWN;
    holder->punkVal = &object;
    object.AddRef();
    ScopedVariant second;
    ASSERT_EQ(VariantCopy(second.Get(), holder.Get()), S_OK);
    EXPECT_EQ(object.references, 3u);
    // Copying over a value releases what it held.
    ASSERT_EQ(VariantCopy(second.Get(), copy.Get()), S_OK);
    EXPECT_EQ(object.references, 2u);
  }
  EXPECT_EQ(object.references, 1u);

  int32_t number = 3;
  ScopedVariant reference;
  reference->vt = VT_BYREF | VT_I4;
  reference->plVal = &number;
  ScopedVariant shallow, deep;
  ASSERT_EQ(VariantCopy(shallow.Get(), reference.Get()), S_OK);
  EXPECT_EQ(shallow->plVal, &number);
  ASSERT_EQ(VariantCopyInd(deep.Get(), reference.Get()), S_OK);
  EXPECT_EQ(Describe(*deep.Get()), "I4 3");
}

TEST(Variant, UnknownTypesAreRefusedAndLeftAlone) {
  VARIANT odd;
  VariantInit(&odd);
  odd.vt = 0x77;
  EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
  EXPECT_EQ(odd.vt, 0x77);
  ScopedVariant target = ScopedVariant::Long(1);
  EXPECT_EQ(VariantCopy(target.Get(), &odd), DISP_E_BADVARTYPE);
  EXPECT_EQ(target->lVal, 1);
  VARIANT byRefEmpty;
  VariantInit(&byRefEmpty);
  byRefEmpty.vt = VT_BYREF | VT_EMPTY;
  EXPECT_EQ(VariantClear(&byRefEmpty), DISP_E_BADVARTYPE);
}

}  // namespace
}  // namespace tavo
