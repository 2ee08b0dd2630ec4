#include "platform/canvas/Canvas.h"

#include <cstdlib>

#include "platform/codepage/CodePage.h"

namespace tavo {

int32_t DeviceCaps::Get(int index) const {
  switch (index) {
    case LOGPIXELSX:
      return dpiX;
    case LOGPIXELSY:
      return dpiY;
    case PHYSICALOFFSETX:
      return physicalOffsetX;
    case PHYSICALOFFSETY:
      return physicalOffsetY;
    default:
      return 0;
  }
}

Canvas::Canvas(std::unique_ptr<CanvasDevice> device) : device_(std::move(device)) { ResetState(); }

Canvas::~Canvas() = default;

void Canvas::ResetState() {
  pen_ = Pen{};
  brush_ = Brush{};
  font_ = Font{};
  font_.name = codepage::Utf8ToAnsi("宋体");
  position_ = Point{};
  UpdateFontPixelHeight();
}

void Canvas::SetPenWidth(int32_t width) {
  if (width >= 0) pen_.width = width;
}

void Canvas::SetPenColor(Color color) { pen_.color = color; }
void Canvas::SetBrushStyle(BrushStyle style) { brush_.style = style; }
void Canvas::SetBrushColor(Color color) { brush_.color = color; }
void Canvas::SetFontName(const std::string& ansiName) { font_.name = ansiName; }
void Canvas::SetFontColor(Color color) { font_.color = color; }

void Canvas::SetFontSize(int32_t points) {
  font_.size = points;
  UpdateFontPixelHeight();
}

// MulDiv(size, dpiY, 72): rounded to nearest, halves away from zero. A negative size names the
// same character height.
void Canvas::UpdateFontPixelHeight() {
  const int64_t product = std::llabs(int64_t{font_.size}) * device_->Caps().dpiY;
  const int64_t height = (product + 36) / 72;
  font_.pixelHeight = static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX));
}

void Canvas::MoveTo(int32_t x, int32_t y) { position_ = {x, y}; }

void Canvas::LineTo(int32_t x, int32_t y) {
  device_->Line(position_, {x, y}, pen_);
  position_ = {x, y};
}

void Canvas::Rectangle(const Rect& rect) { device_->Rectangle(rect, pen_, brush_); }

void Canvas::StretchDraw(const Rect& rect, const Picture& picture) {
  if (picture.HasGraphic()) device_->StretchDraw(rect, *picture.GetGraphic());
}

void Canvas::Draw(int32_t x, int32_t y, const Picture& picture) {
  if (picture.HasGraphic()) device_->Draw({x, y}, *picture.GetGraphic());
}

int32_t Canvas::GetDeviceCaps(int index) const { return device_->Caps().Get(index); }

}  // namespace tavo
