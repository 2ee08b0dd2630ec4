// A canvas device over a QPainter on any Qt paint device: the preview's QImage or a PDF page.
// Lines and rectangles are filled as whole device pixels (pixel x covers x to x + 1), so a
// raster and a PDF rendered at the device's resolution light exactly the same pixels.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <optional>
#include <string>

#include "platform/canvas/Canvas.h"

class QPaintDevice;

namespace tavo {

class PainterDevice final : public CanvasDevice {
 public:
  // Draws on `target`, which must outlive the device; `caps` is what the device reports.
  PainterDevice(QPaintDevice& target, DeviceCaps caps);
  ~PainterDevice() override;

  // Starts painting now (a PDF document and its page begin here); false if the target refuses.
  bool Begin();
  // Ends painting so the target is complete; drawing again begins anew (raster targets).
  void End();

  DeviceCaps Caps() const override { return caps_; }
  void Line(Point from, Point to, const Pen& pen) override;
  void Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) override;
  FontMetrics Metrics(const Font& font) override;
  int32_t MeasureRun(const Font& font, std::string_view ansiRun) override;
  void DrawRun(const Font& font, Point topLeft, std::string_view ansiRun,
               const Rect& clip) override;
  void StretchDraw(const Rect& rect, const Graphic& graphic) override;
  void Draw(Point topLeft, const Graphic& graphic) override;

 private:
  QPainter& Painter();
  // Fills the device pixels left..right-1, top..bottom-1.
  void FillPixels(int64_t left, int64_t top, int64_t right, int64_t bottom, const QColor& color);
  // The Qt font for a canvas font, and its metrics on the target; the last one is kept.
  const QFont& QtFont(const Font& font);
  const QFontMetrics& QtMetrics(const Font& font);

  QPaintDevice& target_;
  DeviceCaps caps_;
  QPainter painter_;
  std::string cachedName_;
  int32_t cachedPixelHeight_ = -1;
  QFont cachedFont_;
  std::optional<QFontMetrics> cachedMetrics_;
};

}  // namespace tavo
