// The DrawTextA text layout over the recording device: random rectangle, flags, font size and
// device metrics, then the text; half of the inputs run under the GBK code page.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "platform/canvas/Canvas.h"
#include "platform/codepage/CodePage.h"
#include "support/RecordingDevice.h"

namespace {

using tavo::test::RecordedOp;

int32_t Coordinate(FuzzedDataProvider& input) {
  // Mostly page-sized values, sometimes anything at all.
  return input.ConsumeBool() ? input.ConsumeIntegral<int32_t>()
                             : input.ConsumeIntegralInRange<int32_t>(-2000, 2000);
}

void Run(FuzzedDataProvider& input) {
  tavo::test::RecordingOptions options;
  options.caps.dpiY = input.ConsumeIntegralInRange<int32_t>(1, 2400);
  options.charWidth = input.ConsumeIntegralInRange<int32_t>(0, 200);
  options.ascent = input.ConsumeIntegralInRange<int32_t>(0, 200);
  options.descent = input.ConsumeIntegralInRange<int32_t>(0, 200);
  auto device = std::make_unique<tavo::test::RecordingDevice>(options);
  tavo::test::RecordingDevice& recording = *device;
  tavo::Canvas canvas(std::move(device));
  canvas.SetFontSize(input.ConsumeIntegral<int32_t>());

  tavo::Rect rect{Coordinate(input), Coordinate(input), Coordinate(input), Coordinate(input)};
  const tavo::Rect given = rect;
  const uint32_t flags = input.ConsumeIntegral<uint32_t>();
  const std::string text = input.ConsumeRemainingBytesAsString();

  const int32_t height = canvas.DrawTextA(text, rect, flags);
  if (height < 0) tavo::fuzz::Fail("a negative text height");
  if (rect.left != given.left || rect.top != given.top)
    tavo::fuzz::Fail("DrawTextA moved the rect");
  if (!(flags & tavo::DT_CALCRECT) && !(rect == given))
    tavo::fuzz::Fail("drawing changed the rect");
  size_t drawn = 0;
  for (const RecordedOp& op : recording.ops) {
    // Runs of text, and the lines under "&"-prefixed characters.
    if (op.kind == RecordedOp::Kind::Text) {
      drawn += op.text.size();
    } else if (op.kind != RecordedOp::Kind::Line) {
      tavo::fuzz::Fail("text layout drew something else");
    }
  }
  if ((flags & tavo::DT_CALCRECT) && !recording.ops.empty()) tavo::fuzz::Fail("measuring drew");
  if (drawn > text.size()) tavo::fuzz::Fail("more text drawn than given");

  const tavo::Size extent = canvas.GetTextExtentPoint32A(text);
  if (extent.cx < 0 || extent.cy < 0) tavo::fuzz::Fail("a negative text extent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::optional<tavo::codepage::ScopedCodeSet> gbk;
  if (input.ConsumeBool()) gbk.emplace("GBK");
  Run(input);
  return 0;
}
