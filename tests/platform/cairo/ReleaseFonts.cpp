// After the last test the text engine returns every font allocation (its font map, cairo's and
// fontconfig's caches), so the leak checker of the sanitizer builds needs no suppression.
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
