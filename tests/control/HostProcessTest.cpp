// How a host process ends after using the control from a thread other than its main one: made
// through the registry, or loaded, released and unloaded by hand and loaded again. A process
// that dies in its exit handlers loses whatever its host does next.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "control/ControlHost.h"
#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(HostProcess, CallsFromASecondaryThreadEndTheProcessCleanly) {
  const ScopedRegistry registry;
  const ControlModule module;
  ASSERT_EQ(module.Register(), S_OK);
  const std::string examples = std::string(TAVO_EXAMPLES_DIR) + "/invoice/";
  for (const char* mode : {"registry", "unload"}) {
    const fs::path pdf = registry.Folder() / (std::string(mode) + ".pdf");
    const ProcessResult host =
        RunProcess({TAVO_THREAD_HOST_PATH, ControlModule::Path(), examples + "data.xml",
                    examples + "rule.xml", pdf.string(), mode});
    EXPECT_EQ(host.exitCode, 0) << mode << ": " << host.err;
    ASSERT_TRUE(fs::exists(pdf)) << mode;
    EXPECT_THAT(PdfInfoField(pdf.string(), "Title"), HasSubstr("票据打印")) << mode;
  }
}

}  // namespace
}  // namespace tavo::testing
