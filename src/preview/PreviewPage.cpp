#include "preview/PreviewPage.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/cairo/CairoDevice.h"
#include "platform/cairo/PngFile.h"
#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/picture/Picture.h"
#include "platform/picture/PictureFile.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitFormUtils.h"

namespace tavo {
namespace {

bool FileExists(const std::string& ansiPath) {
  std::error_code error;
  const auto status = std::filesystem::status(codepage::AnsiToUtf8(ansiPath), error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// imgBG's picture: a picture file when one is named, else Base64 picture text, else nothing.
Picture LoadBackground(std::u16string_view imagePath) {
  Picture picture;
  const std::string ansiPath = codepage::WideToAnsi(imagePath);
  if (FileExists(ansiPath)) return LoadPictureFile(ansiPath);
  LoadBase64Image(ansiPath, picture);
  return picture;
}

// The page size on the preview device: the printer's device pixels when both are positive, else
// the page size in millimetres when both are positive, else the designed size.
PixelSize PageSize(const TTavoXmlDataPrinter& printer) {
  if (printer.pageWidthPx > 0 && printer.pageHeightPx > 0)
    return {printer.pageWidthPx, printer.pageHeightPx};
  const TTavoPrinterSetting& settings = printer.Settings();
  if (settings.pageWidth > 0.0 && settings.pageHeight > 0.0) {
    // A page too small to cover a pixel still gets one, so there is an image to show.
    return {std::max(printer.MmToDeviceX(settings.pageWidth), 1),
            std::max(printer.MmToDeviceY(settings.pageHeight), 1)};
  }
  return {kDesignedPreviewWidth, kDesignedPreviewHeight};
}

void CheckPageSize(PixelSize size) {
  if (size.width > kMaxPreviewSide || size.height > kMaxPreviewSide ||
      int64_t{size.width} * size.height > kMaxPreviewPixels) {
    throw Error("The preview page of " + std::to_string(size.width) + " x " +
                std::to_string(size.height) + " pixels is too large to show (at most " +
                std::to_string(kMaxPreviewSide) + " pixels a side and " +
                std::to_string(kMaxPreviewPixels) + " pixels in all)");
  }
}

}  // namespace

PreviewPage DrawPreviewPage(std::u16string_view xmlData, std::u16string_view xmlRule,
                            std::u16string_view imagePath) {
  PreviewPage result;
  Picture background;
  if (!imagePath.empty()) {
    result.backgroundShown = true;
    background = LoadBackground(imagePath);
    result.background.Assign(background);
  }

  // The data printer reads the rule against the preview device (only its resolution matters, so
  // one pixel of raster will do), then draws on a fresh image of the page's size.
  RasterCanvas designed(1, 1, kPreviewDpi);
  TTavoXmlDataPrinter printer(codepage::WideToAnsi(xmlRule), &designed.GetCanvas());
  const PixelSize size = PageSize(printer);
  CheckPageSize(size);
  RasterCanvas fresh(size.width, size.height, kPreviewDpi);
  fresh.GetCanvas().Draw(0, 0, background);
  printer.Print(codepage::WideToAnsi(xmlData), &fresh.GetCanvas());
  result.page = RasterImage(fresh.Surface());
  result.pages = std::max(printer.pageCount, 1);
  return result;
}

RasterImage TransparentCopy(const RasterImage& picture) {
  if (picture.Null()) return picture;
  const int32_t width = picture.Width();
  const int32_t height = picture.Height();
  const CairoSurface keyed(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(keyed.get()) != CAIRO_STATUS_SUCCESS)
    throw Error("Out of memory for the preview page");
  const uint32_t key = picture.Pixel(0, height - 1) & 0xFFFFFF;
  auto* data = cairo_image_surface_get_data(keyed.get());
  const int stride = cairo_image_surface_get_stride(keyed.get());
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* from = picture.Row(y);
    auto* to = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t pixel = picture.Opaque() ? from[x] | 0xFF000000u : from[x];
      to[x] = (pixel & 0xFFFFFF) == key ? 0 : pixel;
    }
  }
  cairo_surface_mark_dirty(keyed.get());
  return RasterImage(keyed.get());
}

RasterImage ComposePageArea(const PreviewPage& page) {
  const PixelSize size = PageAreaSize(page);
  // A background picture may be far larger than the page; the area is checked in its own right.
  if (int64_t{size.width} * size.height > kMaxPreviewPixels) {
    throw Error("The preview page area of " + std::to_string(size.width) + " x " +
                std::to_string(size.height) + " pixels is too large to draw (at most " +
                std::to_string(kMaxPreviewPixels) + " pixels in all)");
  }
  const CairoSurface area(cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height));
  if (cairo_surface_status(area.get()) != CAIRO_STATUS_SUCCESS)
    throw Error("Out of memory for the preview page area");
  const CairoContext cr(cairo_create(area.get()));
  cairo_set_source_rgb(cr.get(), ((kPageAreaColor >> 16) & 0xFF) / 255.0,
                       ((kPageAreaColor >> 8) & 0xFF) / 255.0, (kPageAreaColor & 0xFF) / 255.0);
  cairo_paint(cr.get());
  if (page.backgroundShown && page.background.HasGraphic()) {
    // The background keeps its own alpha over the area's colour.
    const CairoSurface background = GraphicSurface(*page.background.GetGraphic());
    cairo_set_source_surface(cr.get(), background.get(), 0, 0);
    cairo_paint(cr.get());
  }
  if (!page.page.Null()) {
    cairo_set_source_surface(cr.get(), TransparentCopy(page.page).Surface(), 0, 0);
    cairo_paint(cr.get());
  }
  cairo_surface_flush(area.get());
  return RasterImage(area.get());
}

std::string PngBytes(const RasterImage& picture) {
  return EncodePng(picture.Surface(), kPreviewDpi / 0.0254);
}

std::string WithPageCount(std::string png, int32_t pages) {
  if (pages <= 1) return png;
  return AddPngText(std::move(png), "Pages", std::to_string(pages));
}

std::string PreviewPngBytes(std::u16string_view xmlData, std::u16string_view xmlRule,
                            std::u16string_view imagePath) {
  const PreviewPage page = DrawPreviewPage(xmlData, xmlRule, imagePath);
  return WithPageCount(PngBytes(ComposePageArea(page)), page.pages);
}

void WritePreviewPng(std::u16string_view xmlData, std::u16string_view xmlRule,
                     std::u16string_view imagePath, const std::string& pngPath) {
  const std::string png = PreviewPngBytes(xmlData, xmlRule, imagePath);
  std::ofstream out(pngPath, std::ios::binary | std::ios::trunc);
  out.write(png.data(), static_cast<std::streamsize>(png.size()));
  out.close();
  if (!out) throw Error("Cannot write the preview picture " + pngPath);
}

}  // namespace tavo
