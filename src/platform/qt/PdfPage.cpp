#include "platform/qt/PdfPage.h"

#include <QString>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

std::unique_ptr<PainterDevice> MakeDevice(QPdfWriter& writer, const DeviceCaps& caps,
                                          PainterDevice*& raw) {
  auto device = std::make_unique<PainterDevice>(writer, caps);
  raw = device.get();
  return device;
}

}  // namespace

PdfPage::PdfPage(QIODevice& output, const QPageLayout& layout, int32_t dpi, DeviceCaps caps,
                 const std::string& ansiTitle)
    : writer_(&output), caps_(caps), device_(nullptr), canvas_(MakeDevice(writer_, caps, device_)) {
  writer_.setResolution(dpi);
  writer_.setPageLayout(layout);
  writer_.setTitle(QString::fromStdString(codepage::AnsiToUtf8(ansiTitle)));
  writer_.setCreator(QStringLiteral("TavoPreFmtPrinter"));
  // Every job starts from a fresh canvas, never from what an earlier job left.
  canvas_.ResetState();
  if (!device_->Begin()) throw Error("The PDF page could not be started");
}

void PdfPage::Finish() { device_->End(); }

}  // namespace tavo
