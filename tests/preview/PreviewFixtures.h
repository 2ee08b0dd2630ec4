// Documents, pictures and helpers shared by the preview tests. The tests run on Qt's offscreen
// platform, which the test program selects before any Qt object exists.
#pragma once

#include <QImage>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "platform/cairo/RasterImage.h"
#include "platform/codepage/CodePage.h"
#include "printing/PrintingFixtures.h"

namespace tavo::test {

// A red line one pixel high along row 20 of the page.
inline const std::string kRedLine =
    R"(<e type="line" fromx="0" fromy="20" tox="2000" toy="20" size="1" color="clRed"><x/></e>)";

// A rule of the given page attributes drawing the red line.
inline std::u16string PreviewRule(const std::string& pageAttributes) {
  return codepage::Utf8ToWide(RuleDocument(pageAttributes, kRedLine));
}

inline const std::u16string kPreviewData = codepage::Utf8ToWide(DataDocument("<a>1</a>"));

// A grey (128, 128, 128) bitmap picture as Base64 text.
inline std::u16string GreyBackground(int32_t width, int32_t height) {
  return codepage::Utf8ToWide(Base64(BmpFile(width, height)));
}

inline const QRgb kGrey = qRgb(128, 128, 128);
inline const QRgb kRed = qRgb(255, 0, 0);
inline const QRgb kWhite = qRgb(255, 255, 255);
inline const QRgb kAreaColor = qRgb(240, 251, 255);

// The pixel's colour, its alpha ignored.
inline QRgb PixelAt(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  return qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}
inline QRgb PixelAt(const RasterImage& image, int x, int y) {
  return (image.Pixel(x, y) & RGB_MASK) | 0xFF000000u;
}

// Sets or unsets an environment variable while it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Runs `action` once the event loop of the next modal wait turns; cancelled if it never does.
class WhenModal {
 public:
  explicit WhenModal(std::function<void()> action);

 private:
  QTimer timer_;
};

}  // namespace tavo::test
