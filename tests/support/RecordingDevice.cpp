#include "support/RecordingDevice.h"

#include "platform/codepage/CodePage.h"

namespace tavo::test {

void RecordingDevice::Record(RecordedOp op) {
  if (options_.record) ops.push_back(std::move(op));
}

void RecordingDevice::Line(Point from, Point to, const Pen& pen) {
  RecordedOp op;
  op.kind = RecordedOp::Kind::Line;
  op.from = from;
  op.to = to;
  op.pen = pen;
  Record(std::move(op));
}

void RecordingDevice::Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) {
  RecordedOp op;
  op.kind = RecordedOp::Kind::Rectangle;
  op.rect = rect;
  op.pen = pen;
  op.brush = brush;
  Record(std::move(op));
}

FontMetrics RecordingDevice::Metrics(const Font&) { return {options_.ascent, options_.descent}; }

int32_t RecordingDevice::MeasureRun(const Font&, std::string_view ansiRun) {
  int64_t width = 0;
  for (const std::string& ch : codepage::SplitCharacters(ansiRun)) {
    width += ch.size() > 1 ? 2 * options_.charWidth : options_.charWidth;
  }
  return static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
}

void RecordingDevice::DrawRun(const Font& font, Point topLeft, std::string_view ansiRun,
                              const Rect& clip) {
  RecordedOp op;
  op.kind = RecordedOp::Kind::Text;
  op.from = topLeft;
  op.rect = clip;
  op.font = font;
  op.text = std::string(ansiRun);
  Record(std::move(op));
}

void RecordingDevice::StretchDraw(const Rect& rect, const Graphic& graphic) {
  RecordedOp op;
  op.kind = RecordedOp::Kind::StretchDraw;
  op.rect = rect;
  op.graphicWidth = graphic.width;
  op.graphicHeight = graphic.height;
  Record(std::move(op));
}

void RecordingDevice::Draw(Point topLeft, const Graphic& graphic) {
  RecordedOp op;
  op.kind = RecordedOp::Kind::Draw;
  op.from = topLeft;
  op.graphicWidth = graphic.width;
  op.graphicHeight = graphic.height;
  Record(std::move(op));
}

std::vector<RecordedOp> RecordingDevice::OfKind(RecordedOp::Kind kind) const {
  std::vector<RecordedOp> result;
  for (const RecordedOp& op : ops) {
    if (op.kind == kind) result.push_back(op);
  }
  return result;
}

}  // namespace tavo::test
