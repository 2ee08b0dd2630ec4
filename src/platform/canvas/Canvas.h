// The canvas: pen, brush and font state, the line, rectangle and picture operations, and the
// DrawTextA text layout, written once over a CanvasDevice (the driver) so that every device
// measures and draws text the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/canvas/Color.h"
#include "platform/picture/Picture.h"

namespace tavo {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point&) const = default;
};

// Left, top, right, bottom; right and bottom lie outside.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int64_t Width() const { return int64_t{right} - left; }
  int64_t Height() const { return int64_t{bottom} - top; }
  bool operator==(const Rect&) const = default;
};

struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
  bool operator==(const Size&) const = default;
};

enum class BrushStyle { Solid, Clear };

struct Pen {
  int32_t width = 1;  // device pixels; 0 draws one pixel wide
  Color color = clBlack;
};

struct Brush {
  BrushStyle style = BrushStyle::Solid;
  Color color = clWhite;
};

struct Font {
  std::string name;         // ANSI text
  int32_t size = 9;         // points
  int32_t pixelHeight = 0;  // character height in device pixels: size x dpiY / 72, rounded
  Color color = clWindowText;
};

struct FontMetrics {
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t LineHeight() const { return ascent + descent; }
};

// GetDeviceCaps indexes.
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;

struct DeviceCaps {
  int32_t dpiX = 96;
  int32_t dpiY = 96;
  int32_t physicalOffsetX = 0;  // paper's left edge to the device origin; 0 off printers
  int32_t physicalOffsetY = 0;
  // The value for one of the four indexes above; 0 for any other.
  int32_t Get(int index) const;
};

// DrawTextA flags.
constexpr uint32_t DT_LEFT = 0x0;
constexpr uint32_t DT_CENTER = 0x1;
constexpr uint32_t DT_RIGHT = 0x2;
constexpr uint32_t DT_WORDBREAK = 0x10;
constexpr uint32_t DT_CALCRECT = 0x400;
constexpr uint32_t DT_NOPREFIX = 0x800;
constexpr uint32_t DT_EDITCONTROL = 0x2000;

// A drawing device under a canvas. Devices keep no drawing state: every call receives the
// pen, brush or font in force.
class CanvasDevice {
 public:
  virtual ~CanvasDevice() = default;
  virtual DeviceCaps Caps() const = 0;
  // A straight line from `from` to, but not including, `to`.
  virtual void Line(Point from, Point to, const Pen& pen) = 0;
  // Outline in the pen, interior in the brush; right and bottom edges exclusive.
  virtual void Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) = 0;
  virtual FontMetrics Metrics(const Font& font) = 0;
  // The advance width of an ANSI run of text in the font, as one line.
  virtual int32_t MeasureRun(const Font& font, std::string_view ansiRun) = 0;
  // Draws a run with its top-left at `topLeft`, clipped to `clip`.
  virtual void DrawRun(const Font& font, Point topLeft, std::string_view ansiRun,
                       const Rect& clip) = 0;
  // The graphic scaled to fill the rectangle, horizontally and vertically independently.
  virtual void StretchDraw(const Rect& rect, const Graphic& graphic) = 0;
  // The graphic unscaled with its top-left at the point.
  virtual void Draw(Point topLeft, const Graphic& graphic) = 0;
};

class Canvas {
 public:
  explicit Canvas(std::unique_ptr<CanvasDevice> device);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Back to a fresh canvas: pen 1 px black, solid white brush, font "宋体" 9 pt in window text.
  void ResetState();

  const Pen& GetPen() const { return pen_; }
  const Brush& GetBrush() const { return brush_; }
  const Font& GetFont() const { return font_; }

  void SetPenWidth(int32_t width);  // a negative width is ignored
  void SetPenColor(Color color);
  void SetBrushStyle(BrushStyle style);
  void SetBrushColor(Color color);
  void SetFontName(const std::string& ansiName);
  void SetFontSize(int32_t points);
  void SetFontColor(Color color);

  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  void Rectangle(const Rect& rect);
  void StretchDraw(const Rect& rect, const Picture& picture);
  void Draw(int32_t x, int32_t y, const Picture& picture);

  // Windows DrawTextA over the device: lines break at CR, LF and CR LF; DT_WORDBREAK also breaks
  // between words; DT_CALCRECT only measures (sets right and bottom); without DT_NOPREFIX "&"
  // underlines the next character and "&&" draws one "&". Returns the text's height.
  int32_t DrawTextA(std::string_view ansiText, Rect& rect, uint32_t flags);
  // The width of the text as one line in the current font, and the line height.
  Size GetTextExtentPoint32A(std::string_view ansiText);
  int32_t GetDeviceCaps(int index) const;

  CanvasDevice& Device() { return *device_; }

 private:
  void UpdateFontPixelHeight();

  std::unique_ptr<CanvasDevice> device_;
  Pen pen_;
  Brush brush_;
  Font font_;
  Point position_;
};

}  // namespace tavo
