// The rule checker against the engine: what the checker plans for a page and what the engine
// draws on a recording canvas must be the same drawings.
#pragma once

#include <exception>
#include <string>

#include "printing/unitCommonPrinting.h"
#include "printing/unitRuleCheck.h"
#include "support/RecordingCanvas.h"

namespace tavo::test {

// The drawings as a comparable text: counts of lines, rectangles and pictures, then every text
// drawn, in order, with blanks, line breaks and "&" left out (wrapping and mnemonic prefixes
// change those, never the characters drawn).
struct PageSummary {
  int lines = 0, rectangles = 0, pictures = 0;
  std::string text;
  std::string Describe() const {
    return std::to_string(lines) + " lines, " + std::to_string(rectangles) + " rectangles, " +
           std::to_string(pictures) + " pictures, text \"" + text + "\"";
  }
  bool operator==(const PageSummary&) const = default;
};

inline void AppendShown(std::string& into, const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > 32 && c != '&') into += c;
  }
}

// The surface underlines the character after a single "&" with one line per text line.
inline int UnderlinedLines(const std::string& text) {
  int lines = 0;
  bool underlined = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines += underlined;
      underlined = false;
    } else if (text[i] == '&' && i + 1 < text.size()) {
      if (text[i + 1] != '&' && text[i + 1] != '\r' && text[i + 1] != '\n') underlined = true;
      ++i;
    }
  }
  return lines + underlined;
}

inline PageSummary Planned(const TRuleCheck& check) {
  PageSummary page;
  for (const TPlannedDraw& draw : check.draws) {
    switch (draw.kind) {
      case TPlannedDraw::Kind::Line:
        ++page.lines;
        break;
      case TPlannedDraw::Kind::Rectangle:
        ++page.rectangles;
        break;
      case TPlannedDraw::Kind::Image:
        ++page.pictures;
        break;
      case TPlannedDraw::Kind::Text:
        AppendShown(page.text, draw.value);
        if (draw.prefixes) page.lines += UnderlinedLines(draw.value);
        break;
    }
  }
  return page;
}

// The page the preview path draws for the two documents (a failure stops it where it happens).
inline PageSummary Drawn(const std::string& rule, const std::string& data) {
  RecordingCanvas surface;
  try {
    TTavoXmlDataPrinter printer(rule, &surface.canvas());
    printer.Print(data, &surface.canvas());
  } catch (const std::exception&) {
  }
  PageSummary page;
  for (const RecordedOp& op : surface.ops()) {
    switch (op.kind) {
      case RecordedOp::Kind::Line:
        ++page.lines;
        break;
      case RecordedOp::Kind::Rectangle:
        ++page.rectangles;
        break;
      case RecordedOp::Kind::StretchDraw:
      case RecordedOp::Kind::Draw:
        ++page.pictures;
        break;
      case RecordedOp::Kind::Text:
        AppendShown(page.text, op.text);
        break;
    }
  }
  return page;
}

}  // namespace tavo::test
