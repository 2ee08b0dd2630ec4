#include "platform/picture/PictureFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/picture/TestImages.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using testimages::Bytes;

Bytes PngFile() {
  return testimages::EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {{1, 2, 3, 4, 5, 6}}});
}
Bytes JpegFile() { return testimages::EncodeJpeg(8, 8, 1, Bytes(64, 200)); }
Bytes BmpFile() { return testimages::BuildBmp({40, 1, 1, 24, 0, 0, {}, {}, {1, 2, 3, 0}}); }
Bytes IcoFile() { return testimages::BuildIco({{2, 1, 32, PngFile()}}); }

class PictureFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tavo-picture-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  static std::string ErrorOf(const std::string& path) {
    try {
      LoadPictureFile(path);
    } catch (const Error& error) {
      return error.what();
    }
    return "no error";
  }

  fs::path dir_;
};

TEST_F(PictureFileTest, ExtensionChoosesDecoderWithoutRegardToCase) {
  struct Case {
    const char* name;
    Bytes bytes;
    GraphicKind kind;
  };
  const Case cases[] = {
      {"a.PNG", PngFile(), GraphicKind::Png},    {"b.Jpg", JpegFile(), GraphicKind::Jpeg},
      {"c.jpeg", JpegFile(), GraphicKind::Jpeg}, {"d.bMp", BmpFile(), GraphicKind::Bitmap},
      {"e.ICO", IcoFile(), GraphicKind::Icon},   {"f.x.png", PngFile(), GraphicKind::Png}};
  for (const Case& c : cases) {
    const Picture picture = LoadPictureFile(Write(c.name, c.bytes));
    ASSERT_TRUE(picture.HasGraphic()) << c.name;
    EXPECT_EQ(picture.GetGraphic()->kind, c.kind) << c.name;
  }
}

TEST_F(PictureFileTest, NameWithoutExtensionIsRecognisedByContent) {
  fs::create_directories(dir_ / "with.dot");
  const std::pair<std::string, Bytes> cases[] = {{"png", PngFile()},
                                                 {"jpeg", JpegFile()},
                                                 {"with.dot/bitmap", BmpFile()},
                                                 {"icon.", IcoFile()}};
  for (const auto& [name, bytes] : cases) {
    EXPECT_TRUE(LoadPictureFile(Write(name, bytes)).HasGraphic()) << name;
  }
  EXPECT_FALSE(LoadPictureFile(Write("text", Bytes{'h', 'e', 'l', 'l', 'o'})).HasGraphic());
}

TEST_F(PictureFileTest, ContentThatDoesNotDecodeGivesNoPicture) {
  EXPECT_FALSE(LoadPictureFile(Write("jpeg-inside.png", JpegFile())).HasGraphic());
  EXPECT_FALSE(LoadPictureFile(Write("empty.bmp", {})).HasGraphic());
}

TEST_F(PictureFileTest, RefusedNamesAndFilesAreErrors) {
  EXPECT_EQ(ErrorOf(Write("a.gif", PngFile())), "Unknown picture file extension (.gif)");
  EXPECT_EQ(ErrorOf(Write("a.Tiff", PngFile())), "Unknown picture file extension (.Tiff)");
  EXPECT_EQ(ErrorOf(Write("a.EMF", {})), "EMF pictures are not supported");
  EXPECT_EQ(ErrorOf(Write("a.wmf", {})), "WMF pictures are not supported");
  const std::string missing = (dir_ / "missing.png").string();
  EXPECT_NE(ErrorOf(missing).find(missing), std::string::npos);
  fs::create_directories(dir_ / "folder.png");
  EXPECT_NE(ErrorOf((dir_ / "folder.png").string()).find("folder.png"), std::string::npos);
  const std::string fifo = (dir_ / "pipe.png").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(ErrorOf(fifo), "no error");  // refused at once rather than waiting for a writer
}

TEST_F(PictureFileTest, AnsiPathIsConvertedForTheFileSystem) {
  const std::string utf8Name = "\xE8\x83\x8C\xE6\x99\xAF.png";  // 背景.png
  const std::string path = Write(utf8Name, PngFile());
  codepage::ScopedCodeSet gbk("GBK");
  const std::string ansiPath = codepage::Utf8ToAnsi(path);
  ASSERT_NE(ansiPath, path);
  EXPECT_TRUE(LoadPictureFile(ansiPath).HasGraphic());
}

// A form shown for one preview after another is decoded once; any change to the file, even one
// that keeps its size and time stamp, is seen at the next load.
TEST_F(PictureFileTest, AnUnchangedFileIsDecodedOnceAndAChangedOneAgain) {
  const auto pixelsOf = [](const Picture& picture) { return picture.GetGraphic()->pixels; };
  const std::string path = Write("form.png", PngFile());
  const Picture first = LoadPictureFile(path);
  const Picture second = LoadPictureFile(path);
  ASSERT_TRUE(first.HasGraphic());
  EXPECT_EQ(first.GetGraphic(), second.GetGraphic()) << "decoded twice";

  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  Write("form.png",
        testimages::EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {{9, 9, 9, 9, 9, 9}}}));
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const Picture rewritten = LoadPictureFile(path);
  ASSERT_TRUE(rewritten.HasGraphic());
  EXPECT_NE(pixelsOf(rewritten), pixelsOf(first));
  EXPECT_EQ(pixelsOf(rewritten)[0] & 0xFFFFFF, 0x090909u);

  // The same file under a name of another kind is read as that kind.
  fs::create_hard_link(path, dir_ / "form.bmp");
  EXPECT_FALSE(LoadPictureFile((dir_ / "form.bmp").string()).HasGraphic());
}

}  // namespace
}  // namespace tavo
