// A canvas device over a cairo context whose user space counts device pixels: the preview's
// image surface or a PDF page. Lines and rectangles are filled as whole device pixels (pixel x
// covers x to x + 1), so a raster and a PDF rendered at the device's resolution light exactly
// the same pixels. Text goes through the process's one Pango text engine.
//
// A device whose pixels are drawn smaller than the target's (a printer's page pictured on the
// screen) smooths text and slanted pens instead, and puts the edges of pixel rectangles on the
// nearest target pixel edge, at least one target pixel apart, as PDF viewers adjust strokes: a
// pen thinner than a target pixel shows as one crisp pixel rather than a faint grey. Its text is
// filled from the glyphs' outlines, never from a font's small-size bitmaps.
#pragma once

#include "platform/cairo/CairoHandles.h"
#include "platform/canvas/Canvas.h"

namespace tavo {

enum class Edges { WholePixels, Smooth };

class CairoDevice final : public CanvasDevice {
 public:
  // Draws through `cr` (the device keeps a reference); `caps` is what the device reports.
  CairoDevice(cairo_t* cr, DeviceCaps caps, Edges edges = Edges::WholePixels);

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
  // The graphic as a cairo source for this target.
  CairoSurface SourceOf(const Graphic& graphic) const;
  // A one-pixel slanted line as whole pixels, so raster and PDF light the same ones.
  void PixelLine(Point from, Point to, Color color);
  // Fills the device pixels left..right-1, top..bottom-1.
  void FillPixels(int64_t left, int64_t top, int64_t right, int64_t bottom, Color color);

  CairoContext cr_;
  DeviceCaps caps_;
  Edges edges_;
};

// A cairo image surface of the graphic's pixels, premultiplied as cairo keeps them.
CairoSurface GraphicSurface(const Graphic& graphic);

}  // namespace tavo
