#include "preview/dialog/ImageControl.h"

#include <QPainter>

namespace tavo {

QImage TransparentCopy(const QImage& picture) {
  if (picture.isNull()) return picture;
  QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = keyed.pixel(0, keyed.height() - 1) & RGB_MASK;
  for (int y = 0; y < keyed.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
    for (int x = 0; x < keyed.width(); ++x) {
      if ((row[x] & RGB_MASK) == key) row[x] = 0;
    }
  }
  return keyed;
}

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::SetPicture(const QImage& picture) {
  picture_ = picture;
  UpdateShown();
}

void ImageControl::SetTransparent(bool transparent) {
  transparent_ = transparent;
  UpdateShown();
}

void ImageControl::UpdateShown() {
  shown_ = transparent_ ? TransparentCopy(picture_) : picture_;
  update();
}

void ImageControl::paintEvent(QPaintEvent*) {
  if (shown_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), shown_);
}

}  // namespace tavo
