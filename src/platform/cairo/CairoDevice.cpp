#include "platform/cairo/CairoDevice.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/cairo/TextEngine.h"

namespace tavo {
namespace {

// Coordinates beyond these cannot be seen on any page; clamping keeps them inside cairo's
// fixed-point range (24.8 bits), where its geometry is exact.
constexpr int64_t kCoordinateLimit = int64_t{1} << 22;
constexpr int32_t kMaxPenWidth = 1 << 16;

double Clamp(int64_t value) {
  return static_cast<double>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

void SetColor(cairo_t* cr, Color color) {
  const uint32_t rgb = ColorToRgb(color);
  cairo_set_source_rgb(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
}

// Width 0 and 1 both draw one device pixel.
int32_t PenPixels(const Pen& pen) { return std::clamp(pen.width, 1, kMaxPenWidth); }

// Keeps the context's state (clip, transformation, source) to one drawing operation.
class SavedState {
 public:
  explicit SavedState(cairo_t* cr) : cr_(cr) { cairo_save(cr_); }
  ~SavedState() { cairo_restore(cr_); }
  SavedState(const SavedState&) = delete;
  SavedState& operator=(const SavedState&) = delete;

 private:
  cairo_t* cr_;
};

// The graphic reduced to width x height with smooth filtering.
CairoSurface Reduced(cairo_surface_t* source, int32_t sourceWidth, int32_t sourceHeight, int width,
                     int height) {
  CairoSurface reduced(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  const CairoContext cr(cairo_create(reduced.get()));
  cairo_scale(cr.get(), static_cast<double>(width) / sourceWidth,
              static_cast<double>(height) / sourceHeight);
  cairo_set_source_surface(cr.get(), source, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr.get());
  return reduced;
}

}  // namespace

// Always a copy: a PDF surface keeps its sources until the page is written, after the
// picture may be gone.
CairoSurface GraphicSurface(const Graphic& graphic) {
  if (graphic.pixels.size() < static_cast<size_t>(graphic.width) * graphic.height)
    return CairoSurface(cairo_image_surface_create(CAIRO_FORMAT_INVALID, 0, 0));
  CairoSurface surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, graphic.width, graphic.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return surface;
  unsigned char* rows = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int32_t y = 0; y < graphic.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(rows + static_cast<ptrdiff_t>(y) * stride);
    const uint32_t* from = graphic.pixels.data() + static_cast<size_t>(y) * graphic.width;
    for (int32_t x = 0; x < graphic.width; ++x) {
      const uint32_t p = from[x], a = p >> 24;
      if (a == 0xFF) {
        row[x] = p;
        continue;
      }
      const auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
      row[x] = a << 24 | scale(p >> 16 & 0xFF) << 16 | scale(p >> 8 & 0xFF) << 8 | scale(p & 0xFF);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

// An image target composites its source within the call and keeps nothing of it, so there an
// opaque graphic (premultiplied as it is) is drawn from its own pixels without a copy.
CairoSurface CairoDevice::SourceOf(const Graphic& graphic) const {
  const bool shareable =
      cairo_surface_get_type(cairo_get_target(cr_.get())) == CAIRO_SURFACE_TYPE_IMAGE &&
      graphic.pixels.size() >= static_cast<size_t>(graphic.width) * graphic.height &&
      std::all_of(graphic.pixels.begin(), graphic.pixels.end(),
                  [](uint32_t pixel) { return pixel >= 0xFF000000u; });
  if (!shareable) return GraphicSurface(graphic);
  auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(graphic.pixels.data()));
  return CairoSurface(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, graphic.width,
                                                          graphic.height, graphic.width * 4));
}

CairoDevice::CairoDevice(cairo_t* cr, DeviceCaps caps, Edges edges)
    : cr_(cairo_reference(cr)), caps_(caps), edges_(edges) {
  cairo_set_antialias(cr_.get(),
                      edges == Edges::Smooth ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
}

void CairoDevice::FillPixels(int64_t left, int64_t top, int64_t right, int64_t bottom,
                             Color color) {
  const double l = Clamp(left), t = Clamp(top), r = Clamp(right), b = Clamp(bottom);
  if (r <= l || b <= t) return;
  cairo_t* cr = cr_.get();
  SetColor(cr, color);
  if (edges_ == Edges::WholePixels) {
    cairo_rectangle(cr, l, t, r - l, b - t);
    cairo_fill(cr);
    return;
  }
  // The target's pixels: the device maps onto them by scale and offset only.
  double x0 = l, y0 = t, x1 = r, y1 = b;
  cairo_user_to_device(cr, &x0, &y0);
  cairo_user_to_device(cr, &x1, &y1);
  const auto snap = [](double from, double to) {
    double low = std::floor(std::min(from, to) + 0.5), high = std::floor(std::max(from, to) + 0.5);
    if (high == low) high = low + 1;
    return std::pair{low, high};
  };
  const auto [pixelLeft, pixelRight] = snap(x0, x1);
  const auto [pixelTop, pixelBottom] = snap(y0, y1);
  const SavedState saved(cr);
  cairo_identity_matrix(cr);
  cairo_rectangle(cr, pixelLeft, pixelTop, pixelRight - pixelLeft, pixelBottom - pixelTop);
  cairo_fill(cr);
}

// Axis-parallel lines, the forms' usual case, are filled as pixel rectangles: the pen's width is
// spread around the line's row or column as a geometric pen with flat caps. A slanted one-pixel
// line is a run of whole pixels without its end point; wider slanted pens are stroked between
// pixel centres with flat caps.
void CairoDevice::Line(Point from, Point to, const Pen& pen) {
  if (from == to) return;
  const int32_t width = PenPixels(pen);
  const int64_t before = (width - 1) / 2, after = width / 2 + 1;
  if (from.y == to.y) {
    const int64_t left = to.x > from.x ? from.x : int64_t{to.x} + 1;
    const int64_t right = to.x > from.x ? to.x : int64_t{from.x} + 1;
    FillPixels(left, from.y - before, right, from.y + after, pen.color);
    return;
  }
  if (from.x == to.x) {
    const int64_t top = to.y > from.y ? from.y : int64_t{to.y} + 1;
    const int64_t bottom = to.y > from.y ? to.y : int64_t{from.y} + 1;
    FillPixels(from.x - before, top, from.x + after, bottom, pen.color);
    return;
  }
  if (width == 1) {
    PixelLine(from, to, pen.color);
    return;
  }
  cairo_t* cr = cr_.get();
  const SavedState saved(cr);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  SetColor(cr, pen.color);
  cairo_move_to(cr, Clamp(from.x) + 0.5, Clamp(from.y) + 0.5);
  cairo_line_to(cr, Clamp(to.x) + 0.5, Clamp(to.y) + 0.5);
  cairo_stroke(cr);
}

// Bresenham's pixels from the first up to, not including, the end point, each row's (or
// column's) run filled as one rectangle; pixels off the page are stepped over, not drawn.
void CairoDevice::PixelLine(Point from, Point to, Color color) {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr_.get(), &x1, &y1, &x2, &y2);
  const auto visible = [&](int64_t x, int64_t y) {
    return x >= x1 - 1 && x < x2 + 1 && y >= y1 - 1 && y < y2 + 1;
  };
  const int64_t endX = std::clamp<int64_t>(to.x, -kCoordinateLimit, kCoordinateLimit);
  const int64_t endY = std::clamp<int64_t>(to.y, -kCoordinateLimit, kCoordinateLimit);
  int64_t x = std::clamp<int64_t>(from.x, -kCoordinateLimit, kCoordinateLimit);
  int64_t y = std::clamp<int64_t>(from.y, -kCoordinateLimit, kCoordinateLimit);
  const int64_t dx = std::abs(endX - x), dy = -std::abs(endY - y);
  const int64_t stepX = x < endX ? 1 : -1, stepY = y < endY ? 1 : -1;
  const bool rows = dx >= -dy;  // runs lie along rows
  int64_t error = dx + dy;
  int64_t runX = x, runY = y, runLength = 0;
  const auto flush = [&] {
    if (runLength == 0) return;
    if (rows) {
      const int64_t left = stepX > 0 ? runX : runX - runLength + 1;
      FillPixels(left, runY, left + runLength, runY + 1, color);
    } else {
      const int64_t top = stepY > 0 ? runY : runY - runLength + 1;
      FillPixels(runX, top, runX + 1, top + runLength, color);
    }
    runLength = 0;
  };
  while (x != endX || y != endY) {
    if (visible(x, y)) {
      if (runLength == 0) runX = x, runY = y;
      ++runLength;
    }
    const int64_t doubled = 2 * error;
    const int64_t oldX = x, oldY = y;
    if (doubled >= dy) error += dy, x += stepX;
    if (doubled <= dx) error += dx, y += stepY;
    // A step across rows ends a row's run; across columns, a column's.
    if ((rows && y != oldY) || (!rows && x != oldX) || !visible(x, y)) flush();
  }
  flush();
}

// The outline runs through the pixels left..right-1 and top..bottom-1; the interior is filled
// first so that the pen lies on top, as GDI draws it.
void CairoDevice::Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) {
  const int64_t left = std::min(rect.left, rect.right), right = std::max(rect.left, rect.right);
  const int64_t top = std::min(rect.top, rect.bottom), bottom = std::max(rect.top, rect.bottom);
  if (right <= left || bottom <= top) return;
  const int32_t width = PenPixels(pen);
  const int64_t before = (width - 1) / 2, after = width / 2 + 1;
  const int64_t lastX = right - 1, lastY = bottom - 1;
  // A border of the fill's own colour covers what lies around the filled inside: together they
  // are the outer box, one fill (each module of a barcode is such a rectangle).
  const bool solid = brush.style == BrushStyle::Solid;
  if (solid && brush.color == pen.color) {
    FillPixels(left - before, top - before, lastX + after, lastY + after, pen.color);
    return;
  }
  if (solid) FillPixels(left, top, right, bottom, brush.color);
  FillPixels(left - before, top - before, lastX + after, top + after, pen.color);
  FillPixels(left - before, lastY - before, lastX + after, lastY + after, pen.color);
  FillPixels(left - before, top - before, left + after, lastY + after, pen.color);
  FillPixels(lastX - before, top - before, lastX + after, lastY + after, pen.color);
}

FontMetrics CairoDevice::Metrics(const Font& font) { return TextMetrics(font); }

int32_t CairoDevice::MeasureRun(const Font& font, std::string_view ansiRun) {
  return ansiRun.empty() ? 0 : MeasureText(font, ansiRun);
}

void CairoDevice::DrawRun(const Font& font, Point topLeft, std::string_view ansiRun,
                          const Rect& clip) {
  if (ansiRun.empty() || clip.Width() <= 0 || clip.Height() <= 0) return;
  const double l = Clamp(clip.left), t = Clamp(clip.top), r = Clamp(clip.right),
               b = Clamp(clip.bottom);
  if (r <= l || b <= t) return;
  cairo_t* cr = cr_.get();
  const SavedState saved(cr);
  cairo_rectangle(cr, l, t, r - l, b - t);
  cairo_clip(cr);
  const int32_t ascent = TextMetrics(font).ascent;
  DrawText(cr, font, Clamp(topLeft.x), Clamp(int64_t{topLeft.y} + ascent), ansiRun,
           edges_ == Edges::Smooth ? Glyphs::Outlines : Glyphs::AsFontRendersThem);
}

// Smooth scaling. A graphic larger than its target is first reduced to the target's size, so a
// PDF never embeds more pixels than its page can show.
void CairoDevice::StretchDraw(const Rect& rect, const Graphic& graphic) {
  if (graphic.Empty() || rect.Width() == 0 || rect.Height() == 0) return;
  const double left = Clamp(rect.left), top = Clamp(rect.top);
  const double right = Clamp(rect.right), bottom = Clamp(rect.bottom);
  const double width = std::abs(right - left), height = std::abs(bottom - top);
  if (width == 0 || height == 0) return;
  CairoSurface image = SourceOf(graphic);
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) return;
  int32_t imageWidth = graphic.width, imageHeight = graphic.height;
  if (width * height < double(graphic.width) * graphic.height && width <= graphic.width &&
      height <= graphic.height) {
    image = Reduced(image.get(), graphic.width, graphic.height, static_cast<int>(width),
                    static_cast<int>(height));
    imageWidth = static_cast<int32_t>(width);
    imageHeight = static_cast<int32_t>(height);
  }
  cairo_t* cr = cr_.get();
  const SavedState saved(cr);
  // Negative extents mirror the picture, as StretchBlt does.
  cairo_translate(cr, left, top);
  cairo_scale(cr, (right - left) / imageWidth, (bottom - top) / imageHeight);
  cairo_set_source_surface(cr, image.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_rectangle(cr, 0, 0, imageWidth, imageHeight);
  cairo_fill(cr);
}

void CairoDevice::Draw(Point topLeft, const Graphic& graphic) {
  if (graphic.Empty()) return;
  const CairoSurface image = SourceOf(graphic);
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) return;
  cairo_t* cr = cr_.get();
  const SavedState saved(cr);
  const double x = Clamp(topLeft.x), y = Clamp(topLeft.y);
  cairo_set_source_surface(cr, image.get(), x, y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, x, y, graphic.width, graphic.height);
  cairo_fill(cr);
}

}  // namespace tavo
