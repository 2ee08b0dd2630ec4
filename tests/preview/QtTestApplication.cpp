// The Qt application of this test program: made before the first test on the main thread and
// destroyed after the last one, inside main, as a host's own application would be. Left to the
// exit handlers it could not be destroyed safely, and a lasting one would leave Qt's fonts
// behind as leaks.
#include <gtest/gtest.h>

#include <optional>

#include "platform/cairo/FontMapping.h"
#include "platform/qt/QtApplication.h"
#include "preview/ShowPreview.h"
#include "preview/dialog/OpenPreview.h"

namespace tavo {
namespace {

class QtTestApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    // As the control does before its first preview; and this program carries the dialog itself.
    LoadFontMapping();
    UseLinkedPreviewDialog(ShowPreviewDialog);
    scope_.emplace(QtUse::Drawing);
    EnsureQtApplication();
  }
  void TearDown() override { scope_.reset(); }

 private:
  std::optional<QtApplicationScope> scope_;
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication);

}  // namespace
}  // namespace tavo
