// Physical offsets from a printer's paper: the printable area's top-left corner in device
// pixels, turned with the page in landscape.
#include <gtest/gtest.h>

#include "platform/printer/system/CupsSession.h"
#include "platform/printer/system/PrinterSheet.h"

namespace tavo {
namespace {

struct PaperCase {
  Orientation orientation;
  int32_t offsetX, offsetY;
};

class PaperOffsets : public ::testing::TestWithParam<PaperCase> {};

// Margins of 5 mm left, 3 mm top, 4 mm right, 6 mm bottom at 600 dpi.
TEST_P(PaperOffsets, AreThePrintableAreasCornerInDevicePixels) {
  CupsPaper paper;
  paper.leftMm = 5, paper.topMm = 3, paper.rightMm = 4, paper.bottomMm = 6;
  paper.dpi = 600;
  const DeviceCaps caps = CapsOf(paper, GetParam().orientation);
  EXPECT_EQ(caps.dpiX, 600);
  EXPECT_EQ(caps.dpiY, 600);
  EXPECT_EQ(caps.physicalOffsetX, GetParam().offsetX);
  EXPECT_EQ(caps.physicalOffsetY, GetParam().offsetY);
}

INSTANTIATE_TEST_SUITE_P(Orientations, PaperOffsets,
                         ::testing::Values(PaperCase{Orientation::Portrait, 118, 71},
                                           PaperCase{Orientation::Landscape, 142, 118}));

// A queue's paper stays the job's unless the page asks to be the paper: then the job asks for
// custom media of the page's size, as written, printed upright on it with the queue's margins.
TEST(CupsJobSheet, IsTheQueuesPaperUnlessThePageAsksToBeThePaper) {
  CupsPaper a4;
  a4.leftMm = 5, a4.topMm = 3, a4.rightMm = 4, a4.bottomMm = 6;
  a4.dpi = 600;
  const JobSheet own = CupsJobSheet(a4, PageRequest{230, 127, false}, Orientation::Landscape);
  EXPECT_EQ(own.media, "");
  EXPECT_EQ(own.orientation, Orientation::Landscape);
  EXPECT_EQ(own.geometry.widthMm, 297);
  EXPECT_EQ(own.geometry.heightMm, 210);

  const JobSheet custom = CupsJobSheet(a4, PageRequest{230, 127, true}, Orientation::Landscape);
  EXPECT_EQ(custom.media, "Custom.230x127mm");
  EXPECT_EQ(custom.orientation, Orientation::Portrait);
  EXPECT_EQ(custom.geometry.widthMm, 230);
  EXPECT_EQ(custom.geometry.heightMm, 127);
  EXPECT_EQ(custom.geometry.originXMm, 5);
  EXPECT_EQ(custom.geometry.originYMm, 3);
  EXPECT_EQ(custom.geometry.printableWidthMm, 221);
  EXPECT_EQ(custom.geometry.caps.physicalOffsetX, 118);

  // A page not given keeps the queue's paper, whatever the key says.
  EXPECT_EQ(CupsJobSheet(a4, PageRequest{0, 127, true}, Orientation::Portrait).media, "");
  EXPECT_EQ(CustomMediaName(241.5, 139.999), "Custom.241.5x140mm");
  EXPECT_EQ(CustomMediaName(100.25, 50), "Custom.100.25x50mm");
}

}  // namespace
}  // namespace tavo
