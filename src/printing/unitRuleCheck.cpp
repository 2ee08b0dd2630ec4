#include "printing/unitRuleCheck.h"

#include <cstdio>

#include "platform/core/AsciiText.h"
#include "platform/picture/Picture.h"
#include "printing/unitFormUtils.h"
#include "printing/unitRuleCheckContext.h"
#include "printing/unitRuleCheckKeys.h"
#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

void AppendJsonText(std::string& json, const std::string& text) {
  json += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  json += '"';
}

bool LooksLikeFileName(std::string_view source) {
  const std::string_view text = TrimControls(source);
  if (text.find('/') == 0 || text.find('\\') != std::string_view::npos ||
      text.find(":\\") != std::string_view::npos) {
    return true;
  }
  for (const std::string_view extension : {".png", ".jpg", ".jpeg", ".bmp", ".gif"}) {
    if (text.size() > extension.size() &&
        EqualsIgnoringAsciiCase(text.substr(text.size() - extension.size()), extension)) {
      return true;
    }
  }
  return false;
}

}  // namespace

const char* SeverityName(TFindingSeverity severity) {
  switch (severity) {
    case TFindingSeverity::Error:
      return "error";
    case TFindingSeverity::Warning:
      return "warning";
    case TFindingSeverity::Note:
      return "note";
  }
  return "note";
}

std::string FindingsToJson(const std::vector<TRuleFinding>& findings) {
  std::string json = "[";
  for (const TRuleFinding& finding : findings) {
    if (json.size() > 1) json += ',';
    json += "{\"severity\":\"";
    json += SeverityName(finding.severity);
    json += "\",\"document\":";
    AppendJsonText(json, finding.document);
    json += ",\"line\":" + std::to_string(finding.line);
    json += ",\"column\":" + std::to_string(finding.column);
    json += ",\"path\":";
    AppendJsonText(json, finding.path);
    json += ",\"key\":";
    AppendJsonText(json, finding.key);
    json += ",\"message\":";
    AppendJsonText(json, finding.message);
    json += ",\"hint\":";
    AppendJsonText(json, finding.hint);
    json += '}';
  }
  return json + "]";
}

void TRuleCheckContext::Add(TFindingSeverity severity, int32_t line, std::string path,
                            std::string key, std::string message, std::string hint,
                            std::string document) {
  TRuleFinding finding;
  finding.severity = severity;
  finding.document = std::move(document);
  finding.line = line;
  finding.path = std::move(path);
  finding.key = std::move(key);
  finding.message = std::move(message);
  finding.hint = std::move(hint);
  result.findings.push_back(std::move(finding));
}

void TRuleCheckContext::PlanText(const TItem& element, const std::string& value, int32_t row,
                                 const TFindingPlace& place) {
  std::string text = value;
  if (text.empty() && element.GetAttribute("type") == "text") {
    text = element.GetPropertyValue("text", false);
  }
  if (IsBlankText(text)) return;
  // Unwrapped text goes to the surface without DT_NOPREFIX: "&" marks the next letter.
  const bool wordBreak = ReadBoolean(element.GetAttribute("wordBreak"), true);
  if (!wordBreak && text.find('&') != std::string::npos) {
    Add(TFindingSeverity::Warning, place.line, place.path, place.key,
        "\"&\" in text drawn with wordBreak false is not drawn: it underlines the next "
        "character",
        "write \"&&\" for one \"&\", or let the text wrap", place.document);
  }
  result.draws.push_back({TPlannedDraw::Kind::Text, element.SourceLine, row, text, !wordBreak});
}

void TRuleCheckContext::PlanImage(const TItem& element, const std::string& source, int32_t row,
                                  const TFindingPlace& place) {
  if (source.empty()) return;
  Picture picture;
  LoadBase64Image(source, picture);
  if (picture.HasGraphic()) {
    result.draws.push_back({TPlannedDraw::Kind::Image, element.SourceLine, row, source});
    return;
  }
  std::string hint = "give the picture as Base64 text of a PNG, JPEG or BMP file";
  const std::string_view trimmed = TrimControls(source);
  if (trimmed.substr(0, 5) == "data:") {
    hint = "leave out the \"data:...;base64,\" prefix: the text starts with the Base64 data";
  } else if (LooksLikeFileName(source)) {
    hint = "a file name is not read: " + hint;
  }
  Add(TFindingSeverity::Warning, place.line, place.path, place.key,
      "the picture text is no PNG, JPEG or BMP picture in Base64: nothing is drawn", hint,
      place.document);
}

TRuleCheck CheckRule(const std::string& ruleText, const std::string& dataText,
                     const TCheckPrinter* printer) {
  TRuleCheckContext context;
  CheckRuleDocument(context, ruleText);
  if (printer && context.composes) CheckSheet(context, *printer);
  if (!dataText.empty()) CheckDataDocument(context, dataText);
  return std::move(context.result);
}

}  // namespace tavo
