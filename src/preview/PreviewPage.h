// The preview page: the background picture of the blank form and the page drawn over it by the
// data printer, at the screen's 96 pixels per inch. The preview dialog shows it; tavoprint writes
// the same page area into a PNG without opening a window.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/cairo/RasterImage.h"
#include "platform/picture/Picture.h"

namespace tavo {

// The resolution of the preview page.
constexpr int32_t kPreviewDpi = 96;
// The page image's size when the rule gives no page size.
constexpr int32_t kDesignedPreviewWidth = 753;
constexpr int32_t kDesignedPreviewHeight = 497;
// Pages beyond these are refused rather than allocated.
constexpr int32_t kMaxPreviewSide = 16384;
constexpr int64_t kMaxPreviewPixels = 100'000'000;
// The page area's colour where no picture covers it, as 0xRRGGBB.
constexpr uint32_t kPageAreaColor = 0xF0FBFF;

struct PreviewPage {
  bool backgroundShown = false;  // a background was asked for: imgBG is visible
  Picture background;            // imgBG's picture at its natural size; no graphic when none loaded
  RasterImage page;              // imgPreview's picture: the background, then the elements
  int32_t pages = 1;  // the pages the record takes when its rows continue; `page` is the first
};

struct PixelSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(PixelSize, PixelSize) = default;
};

// Draws the preview of the data text laid out by the rule text over the background named by
// `imagePath`: a picture file when such a file exists (its kind by extension), else Base64
// picture text, else no background. Fails with tavo::Error for a rule without usable page
// settings, a picture file that cannot be loaded, a page over the size limits, and whatever the
// data printer lets through while drawing.
PreviewPage DrawPreviewPage(std::u16string_view xmlData, std::u16string_view xmlRule,
                            std::u16string_view imagePath);

// The size of the page area: the bounding box of the visible images.
inline PixelSize PageAreaSize(const PreviewPage& page) {
  PixelSize size{page.page.Width(), page.page.Height()};
  if (page.backgroundShown) {
    size.width = std::max(size.width, page.background.Width());
    size.height = std::max(size.height, page.background.Height());
  }
  return size;
}

// The page area as the dialog shows it: the area's colour, the background if shown, and the page
// over it with its transparent colour letting what is below show through.
// Opaque.
RasterImage ComposePageArea(const PreviewPage& page);

// The picture with every pixel of its bottom-left pixel's colour made fully transparent (the
// transparent colour of imgPreview).
RasterImage TransparentCopy(const RasterImage& picture);

// The picture as a PNG file's bytes, marked as 96 dots per inch.
std::string PngBytes(const RasterImage& picture);

// The PNG file's bytes saying, in a text chunk "Pages" after its header, that the record takes
// that many pages; a record of one page leaves the file as it is.
std::string WithPageCount(std::string png, int32_t pages);

// Draws the preview and gives its page area as the bytes of a PNG file, with its page count.
std::string PreviewPngBytes(std::u16string_view xmlData, std::u16string_view xmlRule,
                            std::u16string_view imagePath);

// Draws the preview and writes its page area as a PNG file at `pngPath` (a file-system path).
void WritePreviewPng(std::u16string_view xmlData, std::u16string_view xmlRule,
                     std::u16string_view imagePath, const std::string& pngPath);

}  // namespace tavo
