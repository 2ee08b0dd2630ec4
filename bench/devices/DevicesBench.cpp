// One invoice-like page (40 text boxes, lines, rectangles) drawn through the canvas onto the
// real devices: the 96 dpi raster of the preview and the virtual PDF printer at 600 dpi. The
// baseline is the same page on the recording device, which measures text with fixed metrics
// and draws nothing, so the ratios show what the Qt devices cost.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/printer/system/SystemPrinter.h"
#include "support/RecordingDevice.h"

namespace tavo {
namespace {

// The page in 96 dpi units, scaled to the canvas's resolution.
void DrawPage(Canvas& canvas) {
  const int32_t dpi = canvas.GetDeviceCaps(LOGPIXELSX);
  const auto at = [dpi](int32_t pixels96) { return pixels96 * dpi / 96; };
  canvas.ResetState();
  canvas.SetPenWidth(at(1));
  canvas.Rectangle(Rect{at(40), at(40), at(754), at(1080)});
  for (int row = 0; row < 20; ++row) {
    canvas.MoveTo(at(40), at(100 + row * 45));
    canvas.LineTo(at(754), at(100 + row * 45));
  }
  canvas.SetBrushStyle(BrushStyle::Clear);
  const std::string label = codepage::Utf8ToAnsi("货物或应税劳务名称");
  const std::string amount = codepage::Utf8ToAnsi("¥ 12,345.67 元");
  for (int box = 0; box < 40; ++box) {
    const int32_t left = box % 2 ? 400 : 60, top = 105 + (box / 2) * 45;
    canvas.SetFontName(codepage::Utf8ToAnsi(box % 3 ? "宋体" : "黑体"));
    canvas.SetFontSize(box % 4 ? 10 : 12);
    Rect rect{at(left), at(top), at(left + 330), at(top + 40)};
    const std::string& text = box % 2 ? amount : label;
    canvas.DrawTextA(text, rect, box % 2 ? DT_RIGHT : DT_LEFT | DT_WORDBREAK);
    if (box % 5 == 0) canvas.Rectangle(Rect{at(left), at(top), at(left + 330), at(top + 40)});
  }
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = usage.ru_maxrss / 1024.0;
}

void BM_PageOnRecordingDevice(benchmark::State& state) {
  test::RecordingOptions options;
  options.record = false;
  Canvas canvas(std::make_unique<test::RecordingDevice>(options));
  for (auto _ : state) DrawPage(canvas);
  ReportPeakMemory(state);
}
BENCHMARK(BM_PageOnRecordingDevice)->Unit(benchmark::kMillisecond);

void BM_PageOnRaster96(benchmark::State& state) {
  for (auto _ : state) {
    RasterCanvas raster(794, 1123, 96);
    DrawPage(raster.GetCanvas());
    benchmark::DoNotOptimize(raster.Surface());
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_PageOnRaster96)->Unit(benchmark::kMillisecond);

void BM_PageOnPdfPrinter(benchmark::State& state) {
  const std::string out = (std::filesystem::temp_directory_path() / "tavo-bench-page.pdf").string();
  std::unique_ptr<Printer> printer = MakeSystemPrinter();
  if (!printer->Select(std::string(kPdfPrinterPrefix) + out)) {
    state.SkipWithError("the PDF printer cannot be selected");
    return;
  }
  for (auto _ : state) {
    printer->BeginDoc();
    DrawPage(printer->GetCanvas());
    printer->EndDoc();
  }
  state.counters["pdf_kB"] = std::filesystem::file_size(out) / 1024.0;
  std::filesystem::remove(out);
  ReportPeakMemory(state);
}
BENCHMARK(BM_PageOnPdfPrinter)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavo

BENCHMARK_MAIN();
