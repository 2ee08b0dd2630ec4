// A PDF document drawn page by page through a canvas: the common part of both kinds of print
// job. Every page has the same geometry. The canvas counts device pixels from the printable area's
// top-left corner; the page is written in points, with font subsets and ToUnicode maps so its text
// can be extracted.
#pragma once

#include <string>

#include "platform/cairo/CairoHandles.h"
#include "platform/canvas/Canvas.h"

namespace tavo {

struct PdfGeometry {
  double widthMm = 210;  // the page as it lies: landscape pages are wider than tall
  double heightMm = 297;
  double originXMm = 0;  // the device origin on the page
  double originYMm = 0;
  // The printable area from the device origin; the printer puts nothing beyond it.
  double printableWidthMm = 210;
  double printableHeightMm = 297;
  DeviceCaps caps{600, 600, 0, 0};  // its resolution is the device's pixels per inch
};

class PdfPage {
 public:
  // Starts the document in the file at `path` (a file-system path, created or truncated). Fails
  // with tavo::Error when the file cannot be written.
  PdfPage(const std::string& path, const PdfGeometry& geometry, const std::string& ansiTitle);
  ~PdfPage();
  PdfPage(const PdfPage&) = delete;
  PdfPage& operator=(const PdfPage&) = delete;

  Canvas& GetCanvas() { return *canvas_; }
  const DeviceCaps& Caps() const { return caps_; }
  // Ends the page and starts the next, with the canvas back to a fresh state; fails with
  // tavo::Error and the reason.
  void NewPage();
  // Writes the rest of the document; fails with tavo::Error and the reason.
  void Finish();

 private:
  DeviceCaps caps_;
  CairoSurface surface_;
  std::unique_ptr<Canvas> canvas_;
};

}  // namespace tavo
