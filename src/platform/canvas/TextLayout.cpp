// DrawTextA and GetTextExtentPoint32A, written once over the device's "measure a run" and
// "draw a run", so that measuring and drawing can never disagree on any device.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/canvas/Canvas.h"
#include "platform/codepage/CodePage.h"

namespace tavo {
namespace {

struct Glyph {
  std::string bytes;
  bool underlined = false;
};

bool IsLineBreak(const std::string& ch) { return ch == "\r" || ch == "\n"; }
bool IsSpace(const std::string& ch) { return ch == " "; }
// Ideographs and other multi-byte characters may break before and after them, as they do in
// Chinese text.
bool IsWide(const std::string& ch) { return ch.size() > 1; }

// The characters after prefix handling: "&&" is one "&", a single "&" is not drawn and
// underlines the character after it.
std::vector<Glyph> ReadGlyphs(std::string_view text, bool prefixes) {
  std::vector<std::string> chars = codepage::SplitCharacters(text);
  std::vector<Glyph> glyphs;
  glyphs.reserve(chars.size());
  for (size_t i = 0; i < chars.size(); ++i) {
    if (prefixes && chars[i] == "&") {
      if (i + 1 >= chars.size()) break;
      ++i;
      const bool underline = chars[i] != "&" && !IsLineBreak(chars[i]);
      glyphs.push_back({std::move(chars[i]), underline});
      continue;
    }
    glyphs.push_back({std::move(chars[i]), false});
  }
  return glyphs;
}

// Lines break at CR, LF and the pair CR LF; a break at the very end starts no further line.
std::vector<std::vector<Glyph>> SplitLines(std::vector<Glyph> glyphs) {
  std::vector<std::vector<Glyph>> lines(1);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    if (!IsLineBreak(glyphs[i].bytes)) {
      lines.back().push_back(std::move(glyphs[i]));
      continue;
    }
    if (glyphs[i].bytes == "\r" && i + 1 < glyphs.size() && glyphs[i + 1].bytes == "\n") ++i;
    if (i + 1 < glyphs.size()) lines.emplace_back();
  }
  return lines;
}

class Layout {
 public:
  Layout(CanvasDevice& device, const Font& font) : device_(device), font_(font) {}

  int32_t Measure(std::string_view run) { return run.empty() ? 0 : device_.MeasureRun(font_, run); }

  int32_t CharWidth(const std::string& ch) {
    auto it = charWidths_.find(ch);
    if (it == charWidths_.end()) it = charWidths_.emplace(ch, Measure(ch)).first;
    return it->second;
  }

  static std::string Join(const std::vector<Glyph>& glyphs, size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to; ++i) text += glyphs[i].bytes;
    return text;
  }

  // Breaks one line between words so that each part fits maxWidth. A word wider than the line
  // is broken between characters when breakWords is set, else it stands alone on its line.
  std::vector<std::pair<size_t, size_t>> BreakWords(const std::vector<Glyph>& line,
                                                    int64_t maxWidth, bool breakWords) {
    std::vector<std::pair<size_t, size_t>> parts;
    const size_t n = line.size();
    if (n == 0 || Measure(Join(line, 0, n)) <= maxWidth) return {{0, n}};
    size_t pos = 0;
    while (pos < n) {
      const size_t start = pos;
      size_t lastBreak = start;  // a line may end before this index
      int64_t width = 0;
      size_t i = start;
      for (; i < n; ++i) {
        const std::string& ch = line[i].bytes;
        if (i > start && (IsSpace(ch) || IsWide(ch) || IsWide(line[i - 1].bytes))) lastBreak = i;
        const int64_t w = CharWidth(ch);
        if (i > start && width + w > maxWidth) break;
        width += w;
      }
      size_t end = i;
      if (i < n && !IsSpace(line[i].bytes)) {
        if (lastBreak > start) {
          end = lastBreak;
        } else if (!breakWords) {
          while (end < n && !IsSpace(line[end].bytes) && !IsWide(line[end].bytes)) ++end;
        }
      }
      size_t visibleEnd = end;
      while (visibleEnd > start && IsSpace(line[visibleEnd - 1].bytes)) --visibleEnd;
      parts.emplace_back(start, std::max(visibleEnd, start));
      pos = end;
      // The spaces at a break belong to neither line.
      while (pos < n && IsSpace(line[pos].bytes)) ++pos;
    }
    return parts;
  }

 private:
  CanvasDevice& device_;
  const Font& font_;
  std::map<std::string, int32_t> charWidths_;
};

struct LaidOutLine {
  std::string text;
  int32_t width = 0;
  size_t underlineOffset = 0;  // bytes before the underlined character
  std::string underlined;      // its bytes; empty when nothing is underlined
};

int32_t Clamp(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

int32_t Canvas::DrawTextA(std::string_view ansiText, Rect& rect, uint32_t flags) {
  const FontMetrics metrics = device_->Metrics(font_);
  const int32_t lineHeight = metrics.LineHeight();
  Layout layout(*device_, font_);

  std::vector<LaidOutLine> lines;
  for (const std::vector<Glyph>& line :
       SplitLines(ReadGlyphs(ansiText, (flags & DT_NOPREFIX) == 0))) {
    std::vector<std::pair<size_t, size_t>> parts{{0, line.size()}};
    if (flags & DT_WORDBREAK) {
      parts = layout.BreakWords(line, rect.Width(), (flags & DT_EDITCONTROL) != 0);
    }
    for (auto [from, to] : parts) {
      LaidOutLine out;
      for (size_t i = from; i < to; ++i) {
        if (line[i].underlined) {
          out.underlineOffset = out.text.size();
          out.underlined = line[i].bytes;
        }
        out.text += line[i].bytes;
      }
      out.width = layout.Measure(out.text);
      lines.push_back(std::move(out));
    }
  }

  const int64_t height = int64_t{lineHeight} * static_cast<int64_t>(lines.size());
  if (flags & DT_CALCRECT) {
    int64_t widest = 0;
    for (const LaidOutLine& line : lines) widest = std::max<int64_t>(widest, line.width);
    rect.right = Clamp(rect.left + widest);
    rect.bottom = Clamp(rect.top + height);
    return Clamp(height);
  }

  int64_t y = rect.top;
  for (const LaidOutLine& line : lines) {
    int64_t x = rect.left;
    if (flags & DT_RIGHT) {
      x = int64_t{rect.right} - line.width;
    } else if (flags & DT_CENTER) {
      x = (int64_t{rect.left} + rect.right - line.width) / 2;
    }
    if (!line.text.empty()) device_->DrawRun(font_, {Clamp(x), Clamp(y)}, line.text, rect);
    if (!line.underlined.empty()) {
      const int64_t from =
          x + layout.Measure(std::string_view(line.text).substr(0, line.underlineOffset));
      const int64_t to = from + layout.Measure(line.underlined);
      const int32_t underlineY = Clamp(y + metrics.ascent + 1);
      device_->Line({Clamp(from), underlineY}, {Clamp(to), underlineY}, Pen{1, font_.color});
    }
    y += lineHeight;
  }
  return Clamp(height);
}

Size Canvas::GetTextExtentPoint32A(std::string_view ansiText) {
  const int32_t width = ansiText.empty() ? 0 : device_->MeasureRun(font_, ansiText);
  return {width, device_->Metrics(font_).LineHeight()};
}

}  // namespace tavo
