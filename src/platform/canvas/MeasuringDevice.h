// A device that measures text exactly as another device does and draws nothing: a page composed
// on it takes every step (and fails where) the real page would, without a mark on the paper.
#pragma once

#include "platform/canvas/Canvas.h"

namespace tavo {

class MeasuringDevice final : public CanvasDevice {
 public:
  // Measures with `device`, which must outlive this one.
  explicit MeasuringDevice(CanvasDevice& device) : device_(device) {}

  DeviceCaps Caps() const override { return device_.Caps(); }
  FontMetrics Metrics(const Font& font) override { return device_.Metrics(font); }
  int32_t MeasureRun(const Font& font, std::string_view ansiRun) override {
    return device_.MeasureRun(font, ansiRun);
  }
  void Line(Point, Point, const Pen&) override {}
  void Rectangle(const Rect&, const Pen&, const Brush&) override {}
  void DrawRun(const Font&, Point, std::string_view, const Rect&) override {}
  void StretchDraw(const Rect&, const Graphic&) override {}
  void Draw(Point, const Graphic&) override {}

 private:
  CanvasDevice& device_;
};

}  // namespace tavo
