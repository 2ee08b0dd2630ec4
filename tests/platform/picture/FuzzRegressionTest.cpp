// Inputs the fuzz targets found, kept so that the faults stay mended.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "platform/picture/Picture.h"
#include "platform/picture/TestImages.h"

namespace {
// The largest single allocation made on this thread while a probe watches; null when none does.
thread_local size_t* gLargestAllocation = nullptr;
}  // namespace

void* operator new(std::size_t size) {
  if (gLargestAllocation && size > *gLargestAllocation) *gLargestAllocation = size;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace tavo {
namespace {

using testimages::BuildBmp;
using testimages::Bytes;

class LargestAllocationProbe {
 public:
  LargestAllocationProbe() { gLargestAllocation = &largest_; }
  ~LargestAllocationProbe() { gLargestAllocation = nullptr; }
  size_t Largest() const { return largest_; }

 private:
  size_t largest_ = 0;
};

// A run-length bitmap of 4 x 16,000,000 pixels in a few bytes whose runs end before the
// end-of-bitmap mark: damaged, so refused before its 256 MB of pixels are allocated.
TEST(FuzzRegression, DamagedRunLengthBitmapAllocatesNothingOfItsSize) {
  struct Case {
    const char* name;
    uint16_t bitCount;
    uint32_t compression;
    Bytes runs;
  };
  for (const Case& c : {Case{"rle8 cut in a run", 8, 1, {3, 1, 0, 0, 0}},
                        Case{"rle8 cut in an absolute run", 8, 1, {0, 5, 1, 1}},
                        Case{"rle4 cut in a delta", 4, 2, {4, 0x10, 0, 2, 9}}}) {
    const Bytes file = BuildBmp(
        {40, 4, 16'000'000, c.bitCount, c.compression, 2, {}, {0xFF0000, 0x00FF00}, c.runs});
    LargestAllocationProbe probe;
    EXPECT_FALSE(DecodeBmp(file)) << c.name;
    EXPECT_LT(probe.Largest(), 1u << 20) << c.name;
  }
}

// The same stream completed by its end-of-bitmap mark still decodes.
TEST(FuzzRegression, CompleteRunLengthBitmapStillDecodes) {
  const Bytes file = BuildBmp({40, 4, 3, 8, 1, 2, {}, {0xFF0000, 0x00FF00}, {3, 1, 0, 0, 0, 1}});
  const std::optional<Graphic> graphic = DecodeBmp(file);
  ASSERT_TRUE(graphic);
  EXPECT_EQ(graphic->pixels[2 * 4], 0xFF00FF00u);  // bottom row, first pixel: index 1
  EXPECT_EQ(graphic->pixels[0], 0u);               // rows the runs never reached stay clear
}

}  // namespace
}  // namespace tavo
