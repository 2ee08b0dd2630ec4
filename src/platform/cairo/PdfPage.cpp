#include "platform/cairo/PdfPage.h"

#include <cairo-pdf.h>

#include "platform/cairo/CairoDevice.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

void Check(cairo_surface_t* surface, const char* what) {
  const cairo_status_t status = cairo_surface_status(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    throw Error(std::string(what) + ": " + cairo_status_to_string(status));
}

}  // namespace

PdfPage::PdfPage(const std::string& path, const PdfGeometry& geometry, const std::string& ansiTitle)
    : caps_(geometry.caps),
      surface_(cairo_pdf_surface_create(path.c_str(), geometry.widthMm * kPointsPerMm,
                                        geometry.heightMm * kPointsPerMm)) {
  Check(surface_.get(), "The PDF page could not be started");
  const std::string title = codepage::AnsiToUtf8(ansiTitle);
  cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
  cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATOR, "TavoPreFmtPrinter");
  const CairoContext cr(cairo_create(surface_.get()));
  cairo_translate(cr.get(), geometry.originXMm * kPointsPerMm, geometry.originYMm * kPointsPerMm);
  cairo_scale(cr.get(), 72.0 / caps_.dpiX, 72.0 / caps_.dpiY);
  canvas_ = std::make_unique<Canvas>(std::make_unique<CairoDevice>(cr.get(), caps_));
}

PdfPage::~PdfPage() = default;

void PdfPage::NewPage() {
  cairo_surface_show_page(surface_.get());
  Check(surface_.get(), "The PDF page could not be written");
  canvas_->ResetState();
}

void PdfPage::Finish() {
  canvas_.reset();
  cairo_surface_finish(surface_.get());
  Check(surface_.get(), "The PDF page could not be written");
}

}  // namespace tavo
