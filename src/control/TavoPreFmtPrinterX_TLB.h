// The declarations of the type library TavoPreFmtPrinterX: its GUIDs, which never change once
// published (hosts and GetOcxVersion refer to them), and the dual interface ITavoPreFmtPrinter
// in its virtual table order.
#pragma once

#include <cstdint>

#include "platform/com/Bstr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/com/Variant.h"

namespace tavo {

// {7F497AF2-0B68-4A4B-BEE9-573EB198B23A}
inline constexpr GUID LIBID_TavoPreFmtPrinterX{
    0x7F497AF2, 0x0B68, 0x4A4B, {0xBE, 0xE9, 0x57, 0x3E, 0xB1, 0x98, 0xB2, 0x3A}};
// {26FC2A5A-97A2-42A1-8021-CFFF71AD00DB}
inline constexpr IID IID_ITavoPreFmtPrinter{
    0x26FC2A5A, 0x97A2, 0x42A1, {0x80, 0x21, 0xCF, 0xFF, 0x71, 0xAD, 0x00, 0xDB}};
// {D5867D4E-3FBC-44EF-B0C6-AE8165BF60D8}
inline constexpr IID DIID_ITavoPreFmtPrinterEvents{
    0xD5867D4E, 0x3FBC, 0x44EF, {0xB0, 0xC6, 0xAE, 0x81, 0x65, 0xBF, 0x60, 0xD8}};
// {9FDA2687-5AA4-4FB4-BC59-D7DC4481E9FB}
inline constexpr CLSID CLASS_TavoPreFmtPrinter{
    0x9FDA2687, 0x5AA4, 0x4FB4, {0xBC, 0x59, 0xD7, 0xDC, 0x44, 0x81, 0xE9, 0xFB}};
// {41090A14-19A1-4119-A9B3-E861947660D7}
inline constexpr GUID GUID_TxActiveFormBorderStyle{
    0x41090A14, 0x19A1, 0x4119, {0xA9, 0xB3, 0xE8, 0x61, 0x94, 0x76, 0x60, 0xD7}};
// {E364AE7F-F15E-4124-99FA-020EDFDF9FBB}
inline constexpr GUID GUID_TxPrintScale{
    0xE364AE7F, 0xF15E, 0x4124, {0x99, 0xFA, 0x02, 0x0E, 0xDF, 0xDF, 0x9F, 0xBB}};
// {E78C1C5C-5D5A-4BB3-AAE3-FB451345E187}
inline constexpr GUID GUID_TxMouseButton{
    0xE78C1C5C, 0x5D5A, 0x4BB3, {0xAA, 0xE3, 0xFB, 0x45, 0x13, 0x45, 0xE1, 0x87}};

// The extension interfaces of the same object: what hosts need beyond the thirteen methods.
// {3C0E5B8A-6F2D-4E1B-9A47-1D2C8B5E7F01}
inline constexpr IID IID_ITavoPreviewPicture{
    0x3C0E5B8A, 0x6F2D, 0x4E1B, {0x9A, 0x47, 0x1D, 0x2C, 0x8B, 0x5E, 0x7F, 0x01}};
// {8B1F4C2D-3A5E-4D6F-B7C8-2E9A0D1B3C02}
inline constexpr IID IID_ITavoPrintStatus{
    0x8B1F4C2D, 0x3A5E, 0x4D6F, {0xB7, 0xC8, 0x2E, 0x9A, 0x0D, 0x1B, 0x3C, 0x02}};
// {5D2A7E3F-9C1B-4A8D-86E5-4F3B2C1A0D03}
inline constexpr IID IID_ITavoRuleCheck{
    0x5D2A7E3F, 0x9C1B, 0x4A8D, {0x86, 0xE5, 0x4F, 0x3B, 0x2C, 0x1A, 0x0D, 0x03}};

// {687083F1-99B4-4301-8742-448BE4CD35F0}
inline constexpr IID IID_ITavoBatchPrint{
    0x687083F1, 0x99B4, 0x4301, {0x87, 0x42, 0x44, 0x8B, 0xE4, 0xCD, 0x35, 0xF0}};

inline constexpr const char16_t* kProgId = u"TavoPreFmtPrinterX.TavoPreFmtPrinter";

// Dispatch interface for TavoPreFmtPrinter Control.
class ITavoPreFmtPrinter : public IDispatch {
 public:
  virtual HRESULT fprintText(int32_t X, int32_t Y, BSTR sFont, int32_t fontSize, BSTR txt) = 0;
  virtual HRESULT fprintImg(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, BSTR IMG) = 0;
  virtual HRESULT downloadImg(BSTR sourceImg, BSTR desImg) = 0;
  virtual HRESULT fprintStart(BSTR title) = 0;
  virtual HRESULT fprintEnd(BSTR title) = 0;
  virtual HRESULT PrintXmlData(BSTR XmlData, BSTR XmlRule) = 0;
  virtual HRESULT PreviewXmlData(BSTR XmlData, BSTR XmlRule, BSTR ImagePath) = 0;
  virtual HRESULT GetVer(BSTR filepath, BSTR* Value) = 0;
  virtual HRESULT GetOcxVersion(BSTR version, int32_t* Value) = 0;
  virtual HRESULT SetDefaultPrinter(BSTR DefaultPrt, VARIANT_BOOL* Value) = 0;
  virtual HRESULT GetDefaultPrinter(BSTR* Value) = 0;
  virtual HRESULT GetPrinterList(BSTR* Value) = 0;
  virtual HRESULT IFOcxGuid(BSTR ARegGuid, VARIANT_BOOL* Value) = 0;

 protected:
  ~ITavoPreFmtPrinter() = default;
};

// The preview page as a picture, for hosts that show it themselves (PNG in Base64 text).
class ITavoPreviewPicture : public IDispatch {
 public:
  virtual HRESULT RenderPreview(BSTR XmlData, BSTR XmlRule, BSTR ImagePath, BSTR* Value) = 0;
  virtual HRESULT RenderPrintPage(BSTR XmlData, BSTR XmlRule, BSTR Printer, int32_t Width,
                                  BSTR* Value) = 0;

 protected:
  ~ITavoPreviewPicture() = default;
};

// Whether the last print reached the printer, and the state of a spooled job (JSON text).
class ITavoPrintStatus : public IDispatch {
 public:
  virtual HRESULT LastPrint(BSTR* Value) = 0;
  virtual HRESULT JobState(int32_t Job, BSTR* Value) = 0;

 protected:
  ~ITavoPrintStatus() = default;
};

// What a rule document will silently ignore or fall back on (findings as JSON text).
class ITavoRuleCheck : public IDispatch {
 public:
  virtual HRESULT CheckRule(BSTR XmlRule, BSTR XmlData, BSTR* Value) = 0;
  // The same, and what lies beyond the sheet of the printer named ("pdf:", a CUPS name, or
  // empty for the current printer).
  virtual HRESULT CheckRuleForPrinter(BSTR XmlRule, BSTR XmlData, BSTR Printer, BSTR* Value) = 0;

 protected:
  ~ITavoRuleCheck() = default;
};

// Runs of records: every record of a data document as its own page, in one print job or as one
// PDF file each, and one job over several documents (JSON text).
class ITavoBatchPrint : public IDispatch {
 public:
  virtual HRESULT PrintXmlBatch(BSTR XmlData, BSTR XmlRule, BSTR* Value) = 0;
  virtual HRESULT PrintXmlBatchFiles(BSTR XmlData, BSTR XmlRule, BSTR PathPattern, int32_t Resume,
                                     BSTR* Value) = 0;
  virtual HRESULT BeginBatch() = 0;
  virtual HRESULT EndBatch(BSTR* Value) = 0;

 protected:
  ~ITavoBatchPrint() = default;
};

}  // namespace tavo
