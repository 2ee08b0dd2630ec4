// The abstract device of the tests: records every operation with the pen, brush and font in
// force, and measures text with fixed, known metrics (every single-byte character W pixels
// wide, every multi-byte character 2W, line height ascent + descent).
#pragma once

#include <string>
#include <vector>

#include "platform/canvas/Canvas.h"

namespace tavo::test {

struct RecordedOp {
  enum class Kind { Line, Rectangle, Text, StretchDraw, Draw };
  Kind kind = Kind::Line;
  Point from;                // Line: start; Text and Draw: top-left
  Point to;                  // Line: end (excluded)
  Rect rect;                 // Rectangle and StretchDraw: the rectangle; Text: the clip
  Pen pen;                   // Line and Rectangle
  Brush brush;               // Rectangle
  Font font;                 // Text
  std::string text;          // Text: the run (ANSI)
  int32_t graphicWidth = 0;  // StretchDraw and Draw
  int32_t graphicHeight = 0;
};

struct RecordingOptions {
  DeviceCaps caps;         // 96 dpi, no offsets
  int32_t charWidth = 10;  // W
  int32_t ascent = 8;      // line height 10
  int32_t descent = 2;
  bool record = true;  // false: measure only, keep nothing (benchmarks)
};

class RecordingDevice : public CanvasDevice {
 public:
  explicit RecordingDevice(RecordingOptions options = {}) : options_(options) {}

  DeviceCaps Caps() const override { return options_.caps; }
  void Line(Point from, Point to, const Pen& pen) override;
  void Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) override;
  FontMetrics Metrics(const Font& font) override;
  int32_t MeasureRun(const Font& font, std::string_view ansiRun) override;
  void DrawRun(const Font& font, Point topLeft, std::string_view ansiRun,
               const Rect& clip) override;
  void StretchDraw(const Rect& rect, const Graphic& graphic) override;
  void Draw(Point topLeft, const Graphic& graphic) override;

  RecordingOptions& Options() { return options_; }
  std::vector<RecordedOp> ops;

  // The recorded operations of one kind, in order.
  std::vector<RecordedOp> OfKind(RecordedOp::Kind kind) const;

 private:
  void Record(RecordedOp op);
  RecordingOptions options_;
};

}  // namespace tavo::test
