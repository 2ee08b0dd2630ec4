#include "platform/qt/PainterDevice.h"

#include <QImage>
#include <QPaintDevice>
#include <QRegion>
#include <QString>
#include <algorithm>
#include <cmath>

#include "platform/codepage/CodePage.h"

namespace tavo {
namespace {

// Coordinates and sizes beyond these cannot be seen on any page; clamping keeps Qt's integer
// and floating-point geometry exact and its allocations small.
constexpr int64_t kCoordinateLimit = int64_t{1} << 26;
constexpr int32_t kMaxPenWidth = 1 << 16;
// A font size of 100,000 pt must not make Qt rasterise glyphs of gigabytes.
constexpr int32_t kMaxFontPixels = 16384;

int ClampCoordinate(int64_t value) {
  return static_cast<int>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

QColor ToQColor(Color color) { return QColor::fromRgb(0xFF000000u | ColorToRgb(color)); }

// Width 0 and 1 both draw one device pixel.
int32_t PenPixels(const Pen& pen) { return std::clamp(pen.width, 1, kMaxPenWidth); }

QString ToQString(std::string_view ansi) {
  return QString::fromStdString(codepage::AnsiToUtf8(ansi));
}

// A straight-alpha graphic as a QImage over its own pixels, without copying.
QImage WrapGraphic(const Graphic& graphic) {
  return QImage(reinterpret_cast<const uchar*>(graphic.pixels.data()), graphic.width,
                graphic.height, graphic.width * 4, QImage::Format_ARGB32);
}

}  // namespace

PainterDevice::PainterDevice(QPaintDevice& target, DeviceCaps caps)
    : target_(target), caps_(caps) {}

PainterDevice::~PainterDevice() = default;

bool PainterDevice::Begin() {
  if (painter_.isActive()) return true;
  if (!painter_.begin(&target_)) return false;
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  return true;
}

void PainterDevice::End() {
  if (painter_.isActive()) painter_.end();
}

QPainter& PainterDevice::Painter() {
  Begin();
  return painter_;
}

void PainterDevice::FillPixels(int64_t left, int64_t top, int64_t right, int64_t bottom,
                               const QColor& color) {
  if (right <= left || bottom <= top) return;
  const int l = ClampCoordinate(left), t = ClampCoordinate(top);
  const int r = ClampCoordinate(right), b = ClampCoordinate(bottom);
  if (r <= l || b <= t) return;
  Painter().fillRect(QRect(l, t, r - l, b - t), color);
}

// Axis-parallel lines, the forms' usual case, are filled as pixel rectangles: the pen's width is
// spread around the line's row or column as a geometric pen with flat caps. Slanted lines go
// through the painter between pixel centres, with the end pixel cut away.
void PainterDevice::Line(Point from, Point to, const Pen& pen) {
  if (from == to) return;
  const int32_t width = PenPixels(pen);
  const int64_t before = (width - 1) / 2, after = width / 2 + 1;
  const QColor color = ToQColor(pen.color);
  if (from.y == to.y) {
    const int64_t left = to.x > from.x ? from.x : int64_t{to.x} + 1;
    const int64_t right = to.x > from.x ? to.x : int64_t{from.x} + 1;
    FillPixels(left, from.y - before, right, from.y + after, color);
    return;
  }
  if (from.x == to.x) {
    const int64_t top = to.y > from.y ? from.y : int64_t{to.y} + 1;
    const int64_t bottom = to.y > from.y ? to.y : int64_t{from.y} + 1;
    FillPixels(from.x - before, top, from.x + after, bottom, color);
    return;
  }
  QPainter& painter = Painter();
  painter.save();
  const QPointF a(ClampCoordinate(from.x) + 0.5, ClampCoordinate(from.y) + 0.5);
  const QPointF b(ClampCoordinate(to.x) + 0.5, ClampCoordinate(to.y) + 0.5);
  QRectF bounds = QRectF(a, b).normalized().adjusted(-width, -width, width + 1, width + 1);
  QRegion clip(bounds.toAlignedRect());
  clip -= QRegion(ClampCoordinate(to.x), ClampCoordinate(to.y), 1, 1);
  painter.setClipRegion(clip);
  // A one-pixel line is a cosmetic line that starts on its first pixel; wider ones are geometric.
  QPen qpen(color, width == 1 ? 0 : width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  if (width == 1) qpen.setCapStyle(Qt::SquareCap);
  painter.setPen(qpen);
  painter.drawLine(a, b);
  painter.restore();
}

// The outline runs through the pixels left..right-1 and top..bottom-1; the interior is filled
// first so that the pen lies on top, as GDI draws it.
void PainterDevice::Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) {
  int64_t left = std::min(rect.left, rect.right), right = std::max(rect.left, rect.right);
  int64_t top = std::min(rect.top, rect.bottom), bottom = std::max(rect.top, rect.bottom);
  if (right <= left || bottom <= top) return;
  if (brush.style == BrushStyle::Solid) FillPixels(left, top, right, bottom, ToQColor(brush.color));
  const int32_t width = PenPixels(pen);
  const int64_t before = (width - 1) / 2, after = width / 2 + 1;
  const QColor color = ToQColor(pen.color);
  const int64_t lastX = right - 1, lastY = bottom - 1;
  FillPixels(left - before, top - before, lastX + after, top + after, color);
  FillPixels(left - before, lastY - before, lastX + after, lastY + after, color);
  FillPixels(left - before, top - before, left + after, lastY + after, color);
  FillPixels(lastX - before, top - before, lastX + after, lastY + after, color);
}

const QFont& PainterDevice::QtFont(const Font& font) {
  const int32_t pixels = std::clamp(font.pixelHeight, 1, kMaxFontPixels);
  if (pixels != cachedPixelHeight_ || font.name != cachedName_) {
    QFont qfont(ToQString(font.name));
    qfont.setPixelSize(pixels);
    // GDI measures a run as the sum of its characters; so do we.
    qfont.setKerning(false);
    cachedFont_ = qfont;
    cachedMetrics_.emplace(cachedFont_, &target_);
    cachedName_ = font.name;
    cachedPixelHeight_ = pixels;
  }
  return cachedFont_;
}

const QFontMetrics& PainterDevice::QtMetrics(const Font& font) {
  QtFont(font);
  return *cachedMetrics_;
}

FontMetrics PainterDevice::Metrics(const Font& font) {
  const QFontMetrics& metrics = QtMetrics(font);
  return FontMetrics{metrics.ascent(), metrics.descent()};
}

int32_t PainterDevice::MeasureRun(const Font& font, std::string_view ansiRun) {
  if (ansiRun.empty()) return 0;
  return QtMetrics(font).horizontalAdvance(ToQString(ansiRun));
}

void PainterDevice::DrawRun(const Font& font, Point topLeft, std::string_view ansiRun,
                            const Rect& clip) {
  if (ansiRun.empty() || clip.Width() <= 0 || clip.Height() <= 0) return;
  const int clipLeft = ClampCoordinate(clip.left), clipTop = ClampCoordinate(clip.top);
  const int clipRight = ClampCoordinate(clip.right), clipBottom = ClampCoordinate(clip.bottom);
  if (clipRight <= clipLeft || clipBottom <= clipTop) return;
  const QFont& qfont = QtFont(font);
  const int ascent = cachedMetrics_->ascent();
  QPainter& painter = Painter();
  painter.save();
  painter.setClipRect(QRect(clipLeft, clipTop, clipRight - clipLeft, clipBottom - clipTop));
  painter.setFont(qfont);
  painter.setPen(ToQColor(font.color));
  painter.drawText(QPoint(ClampCoordinate(topLeft.x), ClampCoordinate(int64_t{topLeft.y} + ascent)),
                   ToQString(ansiRun));
  painter.restore();
}

// Smooth scaling. A graphic larger than its target is first reduced to the target's size, so a
// PDF never embeds more pixels than its page can show.
void PainterDevice::StretchDraw(const Rect& rect, const Graphic& graphic) {
  if (graphic.Empty() || rect.Width() == 0 || rect.Height() == 0) return;
  const int left = ClampCoordinate(rect.left), top = ClampCoordinate(rect.top);
  const int right = ClampCoordinate(rect.right), bottom = ClampCoordinate(rect.bottom);
  const int width = std::abs(right - left), height = std::abs(bottom - top);
  if (width == 0 || height == 0) return;
  QImage image = WrapGraphic(graphic);
  if (int64_t{width} * height < int64_t{graphic.width} * graphic.height && width <= graphic.width &&
      height <= graphic.height)
    image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QPainter& painter = Painter();
  painter.save();
  // Negative extents mirror the picture, as StretchBlt does.
  painter.translate(left, top);
  painter.scale(right < left ? -1 : 1, bottom < top ? -1 : 1);
  painter.drawImage(QRectF(0, 0, width, height), image);
  painter.restore();
}

void PainterDevice::Draw(Point topLeft, const Graphic& graphic) {
  if (graphic.Empty()) return;
  Painter().drawImage(QPoint(ClampCoordinate(topLeft.x), ClampCoordinate(topLeft.y)),
                      WrapGraphic(graphic));
}

}  // namespace tavo
