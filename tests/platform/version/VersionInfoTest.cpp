#include "platform/version/VersionInfo.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/codepage/CodePage.h"
#include "platform/version/ElfWriter.h"
#include "platform/version/PeWriter.h"
#include "platform/version/ScratchDir.h"
#include "platform/version/VersionQuery.h"

namespace tavo::testing {
namespace {

const std::string kTable = "\\StringFileInfo\\080404B0\\";

struct Container {
  const char* name;
  std::function<Bytes(const Bytes&)> wrap;
};

const Container kContainers[] = {
    {"PE32", [](const Bytes& b) { return WritePe(PeKind::Pe32, b).bytes; }},
    {"PE32+", [](const Bytes& b) { return WritePe(PeKind::Pe32Plus, b).bytes; }},
    {"ELF32 LSB", [](const Bytes& b) { return WriteElf(false, false, b).bytes; }},
    {"ELF32 MSB", [](const Bytes& b) { return WriteElf(false, true, b).bytes; }},
    {"ELF64 LSB", [](const Bytes& b) { return WriteElf(true, false, b).bytes; }},
    {"ELF64 MSB", [](const Bytes& b) { return WriteElf(true, true, b).bytes; }},
};

TEST(VersionInfo, FixedVersionRoundTripsThroughEveryContainer) {
  ScratchDir dir;
  for (const Container& container : kContainers) {
    for (std::array<uint16_t, 4> version :
         {std::array<uint16_t, 4>{10, 3, 0, 0}, {2, 0, 0, 15}, {65535, 1, 65535, 2}}) {
      SCOPED_TRACE(container.name);
      const Bytes block = StandardBlock(version, {{u"ProductName", u"Tavo"}}).Encode();
      const std::string path = dir.Write("module", container.wrap(block));
      const auto read = ReadFixedFileVersion(path);
      ASSERT_TRUE(read.has_value());
      EXPECT_EQ(read->parts, version);

      VersionQuery query(path);
      const auto fixed = query.Fixed();
      ASSERT_TRUE(fixed.has_value());
      EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
      EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
      EXPECT_EQ(fixed->dwProductVersionLS, 0x00030004u);
      EXPECT_EQ(fixed->dwFileType, VFT_DLL);
      EXPECT_EQ(query.Text(kTable + "ProductName"), "Tavo");
    }
  }
}

TEST(VersionInfo, StringsComeBackInTheAnsiCodePage) {
  ScratchDir dir;
  const Bytes block = StandardBlock({2, 0, 0, 2}, {{u"FileDescription", u"打印控件"},
                                                   {u"ProductName", u"Tavo"},
                                                   {u"OleSelfRegister", u""}})
                          .Encode();
  const std::string path = dir.Write("control.ocx", WritePe(PeKind::Pe32, block).bytes);
  VersionQuery query(path);
  ASSERT_TRUE(query.HasBlock());

  EXPECT_EQ(query.Text(kTable + "FileDescription"), "打印控件");
  {
    codepage::ScopedCodeSet gbk("GBK");
    EXPECT_EQ(query.Text(kTable + "FileDescription"), "\xB4\xF2\xD3\xA1\xBF\xD8\xBC\xFE");
  }
  // Asking again reuses the string's slot; the other values stay intact.
  EXPECT_EQ(query.Text(kTable + "FileDescription"), "打印控件");
  EXPECT_EQ(query.Text(kTable + "OleSelfRegister"), "");
  EXPECT_EQ(query.Text("\\stringfileinfo\\080404b0\\PRODUCTNAME"), "Tavo");
  EXPECT_EQ(query.Text(kTable + "CompanyName"), std::nullopt);
  EXPECT_EQ(query.Text("\\StringFileInfo\\040904B0\\ProductName"), std::nullopt);
  EXPECT_EQ(query.Binary("\\VarFileInfo\\Translation"), (Bytes{0x04, 0x08, 0xB0, 0x04}));
  ASSERT_TRUE(query.Fixed().has_value());
  EXPECT_EQ(query.Fixed()->dwFileVersionLS, 2u);
}

TEST(VersionInfo, BlocksBeyondSixteenBitSizesAreReadWhole) {
  ScratchDir dir;
  std::vector<std::pair<std::u16string, std::u16string>> strings;
  for (int i = 0; i < 300; ++i) {
    const std::string key = "Key" + std::to_string(i);
    strings.emplace_back(std::u16string(key.begin(), key.end()), std::u16string(80, u'版'));
  }
  strings.emplace_back(u"Last", u"end of the table");
  const Bytes block = StandardBlock({1, 2, 3, 4}, strings).Encode();
  ASSERT_GT(block.size(), 50000u);
  const std::string path = dir.Write("big.dll", WritePe(PeKind::Pe32Plus, block).bytes);

  const uint32_t size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
  EXPECT_GT(size, 0xFFFFu);
  VersionQuery query(path);
  EXPECT_EQ(query.Text(kTable + "Last"), "end of the table");
  std::string eighty;
  for (int i = 0; i < 80; ++i) eighty += "版";
  EXPECT_EQ(query.Text(kTable + "Key299"), eighty);
}

TEST(VersionInfo, ShortBuffersAndMissingArgumentsFail) {
  ScratchDir dir;
  const Bytes block = StandardBlock({1, 0, 0, 0}).Encode();
  const std::string path = dir.Write("a.dll", WritePe(PeKind::Pe32, block).bytes);
  uint32_t handle = 77;
  const uint32_t size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, block.size());
  EXPECT_EQ(handle, 0u);

  std::vector<unsigned char> buffer(size + 16, 0xAA);
  EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, size - 1, buffer.data()));
  EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, size, nullptr));
  EXPECT_FALSE(GetFileVersionInfoA(nullptr, 0, size, buffer.data()));
  EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, buffer.data()));
  EXPECT_EQ(buffer[size], 0xAA) << "wrote past the size it asked for";

  void* value = nullptr;
  uint32_t len = 0;
  EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &value, &len));
  EXPECT_FALSE(VerQueryValueA(buffer.data(), nullptr, &value, &len));
  EXPECT_FALSE(VerQueryValueA(buffer.data(), "\\", nullptr, &len));
  EXPECT_TRUE(VerQueryValueA(buffer.data(), "\\", &value, &len));
}

TEST(VersionInfo, LongAndNonAsciiPathsAreAccepted) {
  ScratchDir dir;
  const Bytes pe = WritePe(PeKind::Pe32, StandardBlock({3, 1, 4, 1}).Encode()).bytes;
  auto deep = dir.Path();
  for (int i = 0; i < 3; ++i) deep /= std::string(120, char('a' + i));
  std::filesystem::create_directories(deep);
  const std::string longPath = (deep / "long.dll").string();
  ASSERT_GT(longPath.size(), 255u);
  std::filesystem::copy_file(dir.Write("x", pe), longPath);
  EXPECT_EQ(ReadFixedFileVersion(longPath), (VersionNumbers{{3, 1, 4, 1}}));

  dir.Write("版本.dll", pe);
  codepage::ScopedCodeSet gbk("GBK");
  const std::string gbkPath = (dir.Path() / "").string() + "\xB0\xE6\xB1\xBE.dll";
  EXPECT_EQ(ReadFixedFileVersion(gbkPath), (VersionNumbers{{3, 1, 4, 1}}));
}

}  // namespace
}  // namespace tavo::testing
