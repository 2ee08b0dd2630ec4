// The floor of the PDF benchmark: the sample invoice's page drawn with bare cairo and Pango,
// without our engine. The engine prints the invoice once onto a recording device at the PDF
// printer's 600 dpi; the floor then draws what was recorded (the same texts in the same fonts
// at the same places, the same lines, rectangles and picture) as a naive cairo program would:
// a PDF surface, one Pango layout per text, no caches of its own.
#pragma once

#include <memory>
#include <string>

namespace tavo::bench {

class FloorPage {
 public:
  // Records the page the data and rule documents make (wide texts, as a host passes them).
  FloorPage(const std::u16string& data, const std::u16string& rule);
  ~FloorPage();
  FloorPage(const FloorPage&) = delete;
  FloorPage& operator=(const FloorPage&) = delete;

  // Writes the recorded page as a one-page PDF file; fails with tavo::Error.
  void Write(const std::string& pdfPath) const;
  size_t Texts() const;

 private:
  struct Operations;
  std::unique_ptr<Operations> operations_;
};

}  // namespace tavo::bench
