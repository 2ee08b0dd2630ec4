// An image control of the preview dialog: a picture drawn unscaled at the control's top-left.
// A transparent control lets whatever lies behind it show through the pixels of its picture's
// transparent colour, the colour of the picture's bottom-left pixel.
#pragma once

#include <QImage>
#include <QWidget>

namespace tavo {

// The picture with every pixel of its bottom-left pixel's colour made fully transparent.
QImage TransparentCopy(const QImage& picture);

class ImageControl : public QWidget {
 public:
  explicit ImageControl(QWidget* parent);

  void SetPicture(const QImage& picture);
  const QImage& GetPicture() const { return picture_; }
  void SetTransparent(bool transparent);
  bool Transparent() const { return transparent_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void UpdateShown();

  QImage picture_;
  QImage shown_;  // the picture as painted: keyed when transparent
  bool transparent_ = false;
};

}  // namespace tavo
