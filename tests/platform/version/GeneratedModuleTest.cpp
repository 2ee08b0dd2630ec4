// The version resource that tavo_add_version_info places into a shared object.
#include <gtest/gtest.h>

#include "platform/version/VersionQuery.h"

namespace tavo::testing {
namespace {

TEST(GeneratedModule, CarriesTheModuleVersionResource) {
  const std::string module = TAVO_VERSIONED_MODULE_PATH;
  EXPECT_EQ(ReadFixedFileVersion(module), (VersionNumbers{{2, 0, 0, 2}}));

  VersionQuery query(module);
  const auto fixed = query.Fixed();
  ASSERT_TRUE(fixed.has_value());
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
  EXPECT_EQ(fixed->dwFileType, VFT_DLL);

  const std::string table = "\\StringFileInfo\\080404B0\\";
  EXPECT_EQ(query.Text(table + "FileDescription"), "打印控件");
  EXPECT_EQ(query.Text(table + "FileVersion"), "2.0.0.2");
  EXPECT_EQ(query.Text(table + "ProductName"), "Tavo");
  EXPECT_EQ(query.Text(table + "ProductVersion"), "2.0.0.0");
  EXPECT_EQ(query.Text(table + "OleSelfRegister"), "");
  EXPECT_EQ(query.Binary("\\VarFileInfo\\Translation"),
            (std::vector<unsigned char>{0x04, 0x08, 0xB0, 0x04}));
}

}  // namespace
}  // namespace tavo::testing
