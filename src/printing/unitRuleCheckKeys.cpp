#include "printing/unitRuleCheckKeys.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "platform/core/AsciiText.h"
#include "printing/unitFormTypes.h"
#include "printing/unitFormUtils.h"
#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

// Edits between two short words, a swap of two neighbours counting as one ("fontSzie" is one
// step from "fontSize").
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

const std::vector<TKeySpec>& PageKeys() {
  static const std::vector<TKeySpec> keys = {
      {"pageWidth", TKeyType::Real, "0 mm"},
      {"pageHeight", TKeyType::Real, "0 mm"},
      {"repeatableRowAutoHeightAndTop", TKeyType::Boolean, "false (rows are indexed)"},
      {"repeatableRowSpace", TKeyType::Real, "0 mm"},
      {"dpix", TKeyType::Integer, "96"},
      {"dpiy", TKeyType::Integer, "96"},
      {"offsetLeft", TKeyType::Real, "0 mm"},
      {"offsetTop", TKeyType::Real, "0 mm"},
      {"customOffsetLeft", TKeyType::Real, "0 mm"},
      {"customOffsetTop", TKeyType::Real, "0 mm"},
      {"textPaddingHorz", TKeyType::Real, "1.5"},
      {"textPaddingVert", TKeyType::Real, "1.5"},
      {"width", TKeyType::Integer, "0, so the page width in millimetres"},
      {"height", TKeyType::Integer, "0, so the page height in millimetres"},
      {"landscape", TKeyType::Boolean, "false (portrait)"},
      {"bgImage", TKeyType::Text, ""},
      {"pageAsPaper", TKeyType::Boolean, "false (the queue's own paper)"},
      {"repeatableRowsPerPage", TKeyType::Integer, "0 (rows do not continue on a next page)"},
      {"repeatableRowBottom", TKeyType::Integer, "0 (automatic rows do not continue)"},
  };
  return keys;
}

const std::vector<TKeySpec>& ElementKeys() {
  static const std::vector<TKeySpec> keys = {
      {"type", TKeyType::Text, ""},
      {"id", TKeyType::Text, ""},
      {"index", TKeyType::Text, ""},
      {"fromx", TKeyType::Integer, "0"},
      {"fromy", TKeyType::Integer, "0"},
      {"tox", TKeyType::Integer, "0"},
      {"toy", TKeyType::Integer, "0"},
      {"left", TKeyType::Integer, "0"},
      {"top", TKeyType::Integer, "0"},
      {"right", TKeyType::Integer, "0"},
      {"bottom", TKeyType::Integer, "0"},
      {"size", TKeyType::Integer, "0 (the thinnest pen)"},
      {"color", TKeyType::StrictColor, ""},
      {"horzAlign", TKeyType::Align, "no alignment, so centred"},
      {"vertAlign", TKeyType::Align, "no alignment, so in the middle"},
      {"fontName", TKeyType::Text, ""},
      {"fontSize", TKeyType::Integer, "0, so the size of the text drawn before stays"},
      {"fontColor", TKeyType::Color, "the window-text colour (black)"},
      {"wordBreak", TKeyType::Boolean, "true (the text wraps)"},
      {"symbology", TKeyType::Text, "code128"},
      {"moduleSize", TKeyType::Integer, "0 (the largest module that fits the box)"},
      {"quietZone", TKeyType::Boolean, "true"},
      {"humanReadable", TKeyType::Boolean, "true for linear codes, false for 2D codes"},
      {"eccLevel", TKeyType::Text, "M"},
  };
  return keys;
}

const TKeySpec* FindKey(const std::vector<TKeySpec>& keys, std::string_view name) {
  for (const TKeySpec& key : keys) {
    if (EqualsIgnoringAsciiCase(key.name, name)) return &key;
  }
  return nullptr;
}

bool ValueReads(TKeyType type, std::string_view text) {
  int32_t integer = 0;
  double real = 0;
  bool boolean = false;
  switch (type) {
    case TKeyType::Text:
      return true;
    case TKeyType::Integer:
      return TryReadInteger(text, integer);
    case TKeyType::Real:
      return TryReadReal(text, real);
    case TKeyType::Boolean:
      return TryReadBoolean(text, boolean);
    case TKeyType::Align:
      return TextToAlign(text) != kUnknownAlign;
    case TKeyType::Color:
      if (IsBlankText(text)) return true;
      [[fallthrough]];
    case TKeyType::StrictColor:
      try {
        StrictTextToColor(text);
        return true;
      } catch (const std::exception&) {
        return false;
      }
  }
  return false;
}

std::string SuggestValue(TKeyType type, std::string_view text) {
  const std::string_view trimmed = TrimControls(text);
  switch (type) {
    case TKeyType::Integer: {
      double real = 0;
      if (TryReadReal(trimmed, real) && real >= -2147483648.0 && real <= 2147483647.0) {
        return "write a whole number such as " + std::to_string(static_cast<int64_t>(real));
      }
      return "write a whole number";
    }
    case TKeyType::Real:
      return "write a number with \".\" as the decimal point";
    case TKeyType::Boolean:
      return "write true or false, or 1 or 0";
    case TKeyType::Align: {
      static const std::vector<std::string> names = {
          "otaAuto", "otaLeft", "otaCenter", "otaRight", "otaTop", "otaMiddle", "otaBottom"};
      std::string closest = ClosestName(trimmed, names);
      if (closest.empty()) closest = ClosestName("ota" + std::string(trimmed), names);
      if (!closest.empty()) return "did you mean " + closest + "?";
      return "write one of otaLeft, otaCenter, otaRight, otaTop, otaMiddle, otaBottom";
    }
    case TKeyType::Color:
    case TKeyType::StrictColor: {
      // HTML writes #RRGGBB; the engine reads 00BBGGRR.
      if (trimmed.size() == 7 && trimmed[0] == '#' &&
          std::all_of(trimmed.begin() + 1, trimmed.end(),
                      [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        const std::string rgb(trimmed.substr(1));
        return "colours are written 00BBGGRR: did you mean $" + rgb.substr(4, 2) +
               rgb.substr(2, 2) + rgb.substr(0, 2) + "?";
      }
      return "write a colour name such as clRed or an integer 00BBGGRR such as $0000FF";
    }
    case TKeyType::Text:
      break;
  }
  return {};
}

std::string ClosestName(std::string_view word, const std::vector<std::string>& candidates) {
  // Names are short; a long word is no misspelling of any of them.
  if (word.size() > 64) return {};
  const std::string lower = Lower(word);
  std::string best;
  size_t bestDistance = std::max<size_t>(2, lower.size() / 4) + 1;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(lower, Lower(candidate));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  return best;
}

std::vector<std::pair<std::string, std::string>> AttributesOf(const TCommonNodeObject& node) {
  std::vector<std::pair<std::string, std::string>> attributes;
  if (!node.Attributes) return attributes;
  for (const TStringList::Entry& entry : node.Attributes->entries) {
    const auto* pair = dynamic_cast<const TTavoNameValue*>(entry.object);
    if (pair) attributes.emplace_back(pair->Name, pair->Value);
  }
  return attributes;
}

}  // namespace tavo
