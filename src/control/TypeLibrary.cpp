#include "control/TypeLibrary.h"

#include <array>

#include "control/TavoPreFmtPrinterX_TLB.h"

namespace tavo {
namespace {

using P = ParamInfo;
constexpr ParamType Long = ParamType::Long;
constexpr ParamType String = ParamType::String;
constexpr ParamType Bool = ParamType::Bool;

constexpr P kFprintText[] = {
    {"X", Long}, {"Y", Long}, {"sFont", String}, {"fontSize", Long}, {"txt", String}};
constexpr P kFprintImg[] = {
    {"X1", Long}, {"Y1", Long}, {"X2", Long}, {"Y2", Long}, {"IMG", String}};
constexpr P kDownloadImg[] = {{"sourceImg", String}, {"desImg", String}};
constexpr P kTitle[] = {{"title", String}};
constexpr P kPrintXmlData[] = {{"XmlData", String}, {"XmlRule", String}};
constexpr P kPreviewXmlData[] = {{"XmlData", String}, {"XmlRule", String}, {"ImagePath", String}};
constexpr P kGetVer[] = {{"filepath", String}, {"Value", String, true}};
constexpr P kGetOcxVersion[] = {{"version", String}, {"Value", Long, true}};
constexpr P kSetDefaultPrinter[] = {{"DefaultPrt", String}, {"Value", Bool, true}};
constexpr P kStringResult[] = {{"Value", String, true}};
constexpr P kIFOcxGuid[] = {{"ARegGuid", String}, {"Value", Bool, true}};

constexpr MethodInfo kMethods[] = {
    {201, "fprintText", kFprintText},
    {202, "fprintImg", kFprintImg},
    {203, "downloadImg", kDownloadImg},
    {204, "fprintStart", kTitle},
    {205, "fprintEnd", kTitle},
    {206, "PrintXmlData", kPrintXmlData},
    {207, "PreviewXmlData", kPreviewXmlData},
    {208, "GetVer", kGetVer},
    {209, "GetOcxVersion", kGetOcxVersion},
    {210, "SetDefaultPrinter", kSetDefaultPrinter},
    {211, "GetDefaultPrinter", kStringResult},
    {212, "GetPrinterList", kStringResult},
    {213, "IFOcxGuid", kIFOcxGuid},
};

constexpr InterfaceInfo kMainInterface{"ITavoPreFmtPrinter", IID_ITavoPreFmtPrinter,
                                       "Dispatch interface for TavoPreFmtPrinter Control", true,
                                       kMethods};
constexpr InterfaceInfo kEventInterface{"ITavoPreFmtPrinterEvents",
                                        DIID_ITavoPreFmtPrinterEvents,
                                        "Events interface for TavoPreFmtPrinter Control",
                                        false,
                                        {}};
constexpr CoClassInfo kCoClass{
    "TavoPreFmtPrinter", CLASS_TavoPreFmtPrinter, "TavoPreFmtPrinter Control 2.0", 2, 0,
    kMainInterface,      kEventInterface};

constexpr P kRenderPreview[] = {
    {"XmlData", String}, {"XmlRule", String}, {"ImagePath", String}, {"Value", String, true}};
constexpr P kRenderPrintPage[] = {{"XmlData", String},
                                  {"XmlRule", String},
                                  {"Printer", String},
                                  {"Width", Long},
                                  {"Value", String, true}};
constexpr P kJobState[] = {{"Job", Long}, {"Value", String, true}};
constexpr P kCheckRule[] = {{"XmlRule", String}, {"XmlData", String}, {"Value", String, true}};
constexpr P kCheckRuleForPrinter[] = {
    {"XmlRule", String}, {"XmlData", String}, {"Printer", String}, {"Value", String, true}};
constexpr P kPrintXmlBatch[] = {{"XmlData", String}, {"XmlRule", String}, {"Value", String, true}};
constexpr P kPrintXmlBatchFiles[] = {{"XmlData", String},
                                     {"XmlRule", String},
                                     {"PathPattern", String},
                                     {"Resume", Long},
                                     {"Value", String, true}};

constexpr MethodInfo kPreviewPictureMethods[] = {
    {301, "RenderPreview", kRenderPreview},
    {302, "RenderPrintPage", kRenderPrintPage},
};
constexpr MethodInfo kPrintStatusMethods[] = {
    {401, "LastPrint", kStringResult},
    {402, "JobState", kJobState},
};
constexpr MethodInfo kRuleCheckMethods[] = {
    {501, "CheckRule", kCheckRule},
    {502, "CheckRuleForPrinter", kCheckRuleForPrinter},
};
constexpr MethodInfo kBatchPrintMethods[] = {
    {601, "PrintXmlBatch", kPrintXmlBatch},
    {602, "PrintXmlBatchFiles", kPrintXmlBatchFiles},
    {603, "BeginBatch", {}},
    {604, "EndBatch", kStringResult},
};

constexpr InterfaceInfo kExtensionInterfaces[] = {
    {"ITavoPreviewPicture", IID_ITavoPreviewPicture, "The preview page as a picture", true,
     kPreviewPictureMethods},
    {"ITavoPrintStatus", IID_ITavoPrintStatus, "The outcome of prints and spooled jobs", true,
     kPrintStatusMethods},
    {"ITavoRuleCheck", IID_ITavoRuleCheck, "Findings on rule documents", true, kRuleCheckMethods},
    {"ITavoBatchPrint", IID_ITavoBatchPrint, "Runs of records as one print job", true,
     kBatchPrintMethods},
};

constexpr EnumMember kBorderStyle[] = {
    {"afbNone", 0}, {"afbSingle", 1}, {"afbSunken", 2}, {"afbRaised", 3}};
constexpr EnumMember kPrintScale[] = {{"poNone", 0}, {"poProportional", 1}, {"poPrintToFit", 2}};
constexpr EnumMember kMouseButton[] = {{"mbLeft", 0}, {"mbRight", 1}, {"mbMiddle", 2}};
constexpr EnumInfo kEnums[] = {
    {"TxActiveFormBorderStyle", GUID_TxActiveFormBorderStyle, kBorderStyle},
    {"TxPrintScale", GUID_TxPrintScale, kPrintScale},
    {"TxMouseButton", GUID_TxMouseButton, kMouseButton},
};

constexpr TypeLibraryInfo kLibrary{"TavoPreFmtPrinterX",
                                   LIBID_TavoPreFmtPrinterX,
                                   "TavoPreFmtPrinterX Library",
                                   1,
                                   0,
                                   LIBFLAG_FCONTROL,
                                   "stdole2.tlb",
                                   kMainInterface,
                                   kEventInterface,
                                   kCoClass,
                                   kEnums,
                                   kExtensionInterfaces};

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }

}  // namespace

bool SameAutomationName(std::string_view name, std::u16string_view candidate) {
  if (name.size() != candidate.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (AsciiUpper(static_cast<char16_t>(name[i])) != AsciiUpper(candidate[i])) return false;
  }
  return true;
}

int MethodInfo::InCount() const {
  int count = 0;
  for (const ParamInfo& param : params) count += param.retval ? 0 : 1;
  return count;
}

const ParamInfo* MethodInfo::Retval() const {
  return !params.empty() && params.back().retval ? &params.back() : nullptr;
}

const TypeLibraryInfo& TavoPreFmtPrinterXLibrary() { return kLibrary; }

const MethodInfo* FindMethod(const InterfaceInfo& info, std::u16string_view name) {
  for (const MethodInfo& method : info.methods) {
    if (SameAutomationName(method.name, name)) return &method;
  }
  return nullptr;
}

const MethodInfo* FindMethod(const InterfaceInfo& info, DISPID dispid) {
  for (const MethodInfo& method : info.methods) {
    if (method.dispid == dispid) return &method;
  }
  return nullptr;
}

const MethodInfo* FindObjectMethod(std::u16string_view name) {
  if (const MethodInfo* method = FindMethod(kMainInterface, name)) return method;
  for (const InterfaceInfo& info : kExtensionInterfaces) {
    if (const MethodInfo* method = FindMethod(info, name)) return method;
  }
  return nullptr;
}

const MethodInfo* FindObjectMethod(DISPID dispid) {
  if (const MethodInfo* method = FindMethod(kMainInterface, dispid)) return method;
  for (const InterfaceInfo& info : kExtensionInterfaces) {
    if (const MethodInfo* method = FindMethod(info, dispid)) return method;
  }
  return nullptr;
}

}  // namespace tavo
