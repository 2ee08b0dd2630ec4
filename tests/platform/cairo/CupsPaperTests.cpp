// Physical offsets from a printer's paper: the printable area's top-left corner in device
// pixels, turned with the page in landscape.
#include <gtest/gtest.h>

#include "platform/printer/system/CupsSession.h"

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

}  // namespace
}  // namespace tavo
