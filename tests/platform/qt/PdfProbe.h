// Reads PDFs back with poppler-utils: page pixels, word boxes, document information.
#pragma once

#include <QImage>
#include <map>
#include <string>
#include <vector>

namespace tavo::test {

struct WordBox {
  std::string text;                               // UTF-8
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // points from the page's top-left
};

// Shell command output (stdout and stderr); `status` receives the exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
// Renders the region of the first page at `dpi` (x, y, width, height in pixels at that dpi).
QImage RenderRegion(const std::string& pdf, int dpi, int x, int y, int width, int height);
std::vector<WordBox> WordBoxes(const std::string& pdf);
// pdfinfo's fields ("Title", "Page size", "Pages", ...).
std::map<std::string, std::string> PdfInfo(const std::string& pdf);

bool IsDark(QRgb pixel);

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
