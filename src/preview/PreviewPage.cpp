#include "preview/PreviewPage.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/picture/Picture.h"
#include "platform/picture/PictureFile.h"
#include "preview/ImageControl.h"
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

// The picture's graphic as a QImage over its own pixels: the image keeps a share of the graphic.
QImage ToQImage(const Picture& picture) {
  const Graphic* graphic = picture.GetGraphic();
  if (!graphic || graphic->Empty()) return {};
  auto share = std::make_unique<Picture>();
  share->Assign(picture);
  return QImage(
      reinterpret_cast<const uchar*>(graphic->pixels.data()), graphic->width, graphic->height,
      static_cast<qsizetype>(graphic->width) * 4, QImage::Format_ARGB32,
      [](void* info) { delete static_cast<Picture*>(info); }, share.release());
}

// The page size on the preview device: the printer's device pixels when both are positive, else
// the page size in millimetres when both are positive, else the designed size.
QSize PageSize(const TTavoXmlDataPrinter& printer) {
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

void CheckPageSize(QSize size) {
  if (size.width() > kMaxPreviewSide || size.height() > kMaxPreviewSide ||
      int64_t{size.width()} * size.height() > kMaxPreviewPixels) {
    throw Error("The preview page of " + std::to_string(size.width()) + " x " +
                std::to_string(size.height()) + " pixels is too large to show (at most " +
                std::to_string(kMaxPreviewSide) + " pixels a side and " +
                std::to_string(kMaxPreviewPixels) + " pixels in all)");
  }
}

// The raster's pixels as a QImage over the same memory, which keeps the surface alive.
QImage WrapRaster(RasterCanvas& raster) {
  cairo_surface_t* surface = cairo_surface_reference(raster.Surface());
  QImage image(
      cairo_image_surface_get_data(surface), raster.Width(), raster.Height(),
      cairo_image_surface_get_stride(surface), QImage::Format_ARGB32_Premultiplied,
      [](void* info) { cairo_surface_destroy(static_cast<cairo_surface_t*>(info)); }, surface);
  const int dotsPerMetre = static_cast<int>(std::lround(kPreviewDpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  return image;
}

}  // namespace

PreviewPage DrawPreviewPage(std::u16string_view xmlData, std::u16string_view xmlRule,
                            std::u16string_view imagePath) {
  PreviewPage result;
  Picture background;
  if (!imagePath.empty()) {
    result.backgroundShown = true;
    background = LoadBackground(imagePath);
    result.background = ToQImage(background);
  }

  // The data printer reads the rule against the preview device (only its resolution matters, so
  // one pixel of raster will do), then draws on a fresh image of the page's size.
  RasterCanvas designed(1, 1, kPreviewDpi);
  TTavoXmlDataPrinter printer(codepage::WideToAnsi(xmlRule), &designed.GetCanvas());
  const QSize size = PageSize(printer);
  CheckPageSize(size);
  RasterCanvas fresh(size.width(), size.height(), kPreviewDpi);
  fresh.GetCanvas().Draw(0, 0, background);
  printer.Print(codepage::WideToAnsi(xmlData), &fresh.GetCanvas());
  result.page = WrapRaster(fresh);
  return result;
}

QSize PageAreaSize(const PreviewPage& page) {
  QSize size = page.page.size();
  if (page.backgroundShown) size = size.expandedTo(page.background.size());
  return size;
}

QImage ComposePageArea(const PreviewPage& page) {
  const QSize size = PageAreaSize(page);
  // A background picture may be far larger than the page; the area is checked in its own right.
  if (int64_t{size.width()} * size.height() > kMaxPreviewPixels) {
    throw Error("The preview page area of " + std::to_string(size.width()) + " x " +
                std::to_string(size.height()) + " pixels is too large to draw (at most " +
                std::to_string(kMaxPreviewPixels) + " pixels in all)");
  }
  QImage area(size, QImage::Format_RGB32);
  if (area.isNull()) throw Error("Out of memory for the preview page area");
  area.setDotsPerMeterX(page.page.dotsPerMeterX());
  area.setDotsPerMeterY(page.page.dotsPerMeterY());
  area.fill(kPageAreaColor);
  QPainter painter(&area);
  if (page.backgroundShown && !page.background.isNull())
    painter.drawImage(QPoint(0, 0), page.background);
  painter.drawImage(QPoint(0, 0), TransparentCopy(page.page));
  return area;
}

std::string PreviewPngBytes(std::u16string_view xmlData, std::u16string_view xmlRule,
                            std::u16string_view imagePath) {
  const QImage area = ComposePageArea(DrawPreviewPage(xmlData, xmlRule, imagePath));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!area.save(&buffer, "PNG")) throw Error("The preview picture could not be encoded");
  return bytes.toStdString();
}

void WritePreviewPng(std::u16string_view xmlData, std::u16string_view xmlRule,
                     std::u16string_view imagePath, const std::string& pngPath) {
  const QImage area = ComposePageArea(DrawPreviewPage(xmlData, xmlRule, imagePath));
  if (!area.save(QFile::decodeName(pngPath.c_str()), "PNG"))
    throw Error("Cannot write the preview picture " + pngPath);
}

}  // namespace tavo
