// A PDF document of one page drawn through a canvas: the common part of both kinds of job.
#pragma once

#include <QPageLayout>
#include <QPdfWriter>
#include <memory>
#include <string>

#include "platform/canvas/Canvas.h"
#include "platform/qt/PainterDevice.h"

class QIODevice;

namespace tavo {

class PdfPage {
 public:
  // Starts the document on `output` (open for writing, kept alive longer than the page); the
  // painter's origin is the top-left corner of the layout's printable area.
  PdfPage(QIODevice& output, const QPageLayout& layout, int32_t dpi, DeviceCaps caps,
          const std::string& ansiTitle);
  Canvas& GetCanvas() { return canvas_; }
  const DeviceCaps& Caps() const { return caps_; }
  // Writes the rest of the document into the output.
  void Finish();

 private:
  QPdfWriter writer_;
  DeviceCaps caps_;
  PainterDevice* device_;  // owned by the canvas
  Canvas canvas_;
};

}  // namespace tavo
