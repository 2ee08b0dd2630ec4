// Reads PDFs back with poppler-utils: page pixels, word boxes, text, fonts, document
// information. Pictures are read with cairo, so nothing here needs Qt.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavo::test {

struct WordBox {
  std::string text;                               // UTF-8
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // points from the page's top-left
};

// Pixels 0xAARRGGBB of a picture read back.
class Image {
 public:
  Image() = default;
  // A copy of a cairo image surface's pixels (no picture when the surface is in error).
  explicit Image(cairo_surface_t* surface);
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

struct PdfFont {
  std::string name;  // with its subset tag
  std::string type;
  bool embedded = false, subset = false, unicode = false;
};

// Shell command output (stdout and stderr); `status` receives the exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
// Renders the region of the first page at `dpi` (x, y, width, height in pixels at that dpi).
Image RenderRegion(const std::string& pdf, int dpi, int x, int y, int width, int height);
std::vector<WordBox> WordBoxes(const std::string& pdf);
// pdftotext's text of the document, in reading order (UTF-8).
std::string PdfText(const std::string& pdf);
// pdffonts' table.
std::vector<PdfFont> PdfFonts(const std::string& pdf);
// pdfinfo's fields ("Title", "Page size", "Pages", ...).
std::map<std::string, std::string> PdfInfo(const std::string& pdf);

bool IsDark(uint32_t pixel);
// Any mark at all: darker than the near-white of a page's antialiased background.
bool IsInked(uint32_t pixel);

// A temporary folder removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // The names of the files in it.
  std::vector<std::string> Files() const;

 private:
  std::string path_;
};

}  // namespace tavo::test
