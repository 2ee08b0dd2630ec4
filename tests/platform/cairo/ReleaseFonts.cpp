// After the last test the text engine returns its font allocations (its font map and cairo's
// caches), so the leak checker of the sanitizer builds sees only what fontconfig itself keeps.
#include <gtest/gtest.h>

#include "platform/cairo/TextEngine.h"

namespace tavo {
namespace {

class ReleaseFonts : public ::testing::Environment {
 public:
  void TearDown() override { ReleaseTextEngine(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ReleaseFonts);

}  // namespace
}  // namespace tavo
