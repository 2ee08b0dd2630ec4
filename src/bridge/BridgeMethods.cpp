#include "bridge/BridgeMethods.h"

#include <cmath>
#include <limits>
#include <optional>

namespace tavo::bridge {
namespace {

using A = ArgSpec;
constexpr ArgType S = ArgType::String;
constexpr ArgType L = ArgType::Long;

constexpr A kFprintText[] = {{"X", L}, {"Y", L}, {"sFont", S}, {"fontSize", L}, {"txt", S}};
constexpr A kFprintImg[] = {{"X1", L}, {"Y1", L}, {"X2", L}, {"Y2", L}, {"IMG", S}};
constexpr A kDownloadImg[] = {{"sourceImg", S, ArgRole::SourceUrl},
                              {"desImg", S, ArgRole::TargetFile}};
constexpr A kTitle[] = {{"title", S}};
constexpr A kPrintXmlData[] = {{"XmlData", S}, {"XmlRule", S}};
constexpr A kPreviewXmlData[] = {
    {"XmlData", S}, {"XmlRule", S}, {"ImagePath", S, ArgRole::FileOrText}};
constexpr A kGetVer[] = {{"filepath", S, ArgRole::FileOrText}};
constexpr A kGetOcxVersion[] = {{"version", S}};
constexpr A kSetDefaultPrinter[] = {{"DefaultPrt", S, ArgRole::Printer}};
constexpr A kIFOcxGuid[] = {{"ARegGuid", S}};
// The printer is only read, never written to: "pdf:" needs no file of the page.
constexpr A kRenderPrintPage[] = {{"XmlData", S}, {"XmlRule", S}, {"Printer", S}, {"Width", L}};
constexpr A kJobState[] = {{"Job", L}};
constexpr A kCheckRule[] = {{"XmlRule", S}, {"XmlData", S}};
// As for renderPrintPage, the printer is only read.
constexpr A kCheckRuleForPrinter[] = {{"XmlRule", S}, {"XmlData", S}, {"Printer", S}};
constexpr A kWriteFile[] = {{"relativePath", S, ArgRole::TargetFile}, {"text", S}};
constexpr A kWriteBinaryFile[] = {{"relativePath", S, ArgRole::TargetFile}, {"base64", S}};

constexpr MethodSpec kMethods[] = {
    {"fprintText", "fprintText", kFprintText},
    {"fprintImg", "fprintImg", kFprintImg},
    {"downloadImg", "downloadImg", kDownloadImg},
    {"fprintStart", "fprintStart", kTitle},
    {"fprintEnd", "fprintEnd", kTitle},
    {"PrintXmlData", "PrintXmlData", kPrintXmlData},
    {"PreviewXmlData", "PreviewXmlData", kPreviewXmlData},
    {"GetVer", "GetVer", kGetVer},
    {"GetOcxVersion", "GetOcxVersion", kGetOcxVersion},
    {"SetDefaultPrinter", "SetDefaultPrinter", kSetDefaultPrinter},
    {"GetDefaultPrinter", "GetDefaultPrinter", {}},
    {"GetPrinterList", "GetPrinterList", {}},
    {"IFOcxGuid", "IFOcxGuid", kIFOcxGuid},
    {"tavo.renderPreview", "RenderPreview", kPreviewXmlData, ResultShape::Picture},
    {"tavo.renderPrintPage", "RenderPrintPage", kRenderPrintPage, ResultShape::Picture},
    {"tavo.lastPrint", "LastPrint", {}, ResultShape::Json},
    {"tavo.jobState", "JobState", kJobState, ResultShape::Json},
    {"tavo.checkRule", "CheckRule", kCheckRule, ResultShape::Json},
    {"tavo.checkRuleForPrinter", "CheckRuleForPrinter", kCheckRuleForPrinter, ResultShape::Json},
    {"tavo.printBatch", "PrintXmlBatch", kPrintXmlData, ResultShape::Json},
    {"tavo.writeFile", "tavo.writeFile", kWriteFile},
    {"tavo.writeBinaryFile", "tavo.writeBinaryFile", kWriteBinaryFile},
};

// A JSON integer, or a decimal text, within the range of a long.
std::optional<qint64> LongValue(const QJsonValue& value) {
  if (value.isDouble()) {
    const double number = value.toDouble();
    if (std::floor(number) != number) return std::nullopt;
    if (number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max())
      return std::nullopt;
    return static_cast<qint64>(number);
  }
  if (value.isString()) {
    bool ok = false;
    const QString text = value.toString().trimmed();
    const int number = text.toInt(&ok, 10);
    if (ok && !text.isEmpty()) return number;
  }
  return std::nullopt;
}

}  // namespace

const MethodSpec* FindMethodSpec(const QString& rpcName) {
  for (const MethodSpec& method : kMethods) {
    if (rpcName.compare(QLatin1String(method.rpcName.data(), method.rpcName.size()),
                        Qt::CaseInsensitive) == 0)
      return &method;
  }
  return nullptr;
}

std::variant<QJsonArray, QString> CheckArguments(const MethodSpec& method,
                                                 const QJsonArray& params) {
  const QString name = QString::fromLatin1(method.rpcName.data(), method.rpcName.size());
  if (params.size() != static_cast<qsizetype>(method.args.size())) {
    return QString("Invalid params: %1 takes %2 parameters, not %3")
        .arg(name)
        .arg(method.args.size())
        .arg(params.size());
  }
  QJsonArray checked;
  for (qsizetype i = 0; i < params.size(); ++i) {
    const ArgSpec& declared = method.args[static_cast<size_t>(i)];
    const QString what = QString("Invalid params: parameter %1 of %2 (%3)")
                             .arg(i + 1)
                             .arg(name)
                             .arg(QLatin1String(declared.name.data(), declared.name.size()));
    if (declared.type == ArgType::String) {
      if (!params[i].isString()) return what + " must be a string";
      checked.append(params[i]);
    } else {
      const std::optional<qint64> number = LongValue(params[i]);
      if (!number) return what + " must be an integer of 32 bits";
      checked.append(*number);
    }
  }
  return checked;
}

}  // namespace tavo::bridge
