// Writes the binary seed inputs of the fuzz targets (pictures, version resources, layout inputs)
// with the tests' own builders: MakeSeeds CORPUS_ROOT. The XML and registry seeds are text files
// kept as they are under fuzz/corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/picture/TestImages.h"
#include "platform/version/ElfWriter.h"
#include "platform/version/PeWriter.h"
#include "platform/version/VersionBlockWriter.h"

namespace {

namespace fs = std::filesystem;
using tavo::testimages::Bytes;
using tavo::testimages::DibRecipe;

fs::path gRoot;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(gRoot / target);
  std::ofstream out(gRoot / target / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes Prefixed(uint8_t first, const Bytes& rest) {
  Bytes bytes{first};
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  return bytes;
}

Bytes Samples(uint32_t count, uint8_t seed) {
  Bytes samples(count);
  for (uint32_t i = 0; i < count; ++i) samples[i] = static_cast<uint8_t>(seed + i * 37);
  return samples;
}

struct Named {
  std::string name;
  Bytes bytes;
};

std::vector<Named> Pngs() {
  using tavo::testimages::EncodePng;
  return {
      {"rgba.png", EncodePng({2, 2, 6, 8, false, {}, {}, {Samples(8, 1), Samples(8, 9)}})},
      {"palette.png",
       EncodePng({3, 1, 3, 4, false, {0xFF0000, 0x00FF00, 0x0000FF}, {0x80}, {{0x01, 0x20}}})},
      {"grey16.png", EncodePng({2, 2, 0, 16, true, {}, {}, {Samples(4, 3), Samples(4, 7)}})},
      {"grey1.png", EncodePng({1, 1, 0, 1, false, {}, {}, {{0x80}}})},
  };
}

std::vector<Named> Jpegs() {
  using tavo::testimages::EncodeJpeg;
  using tavo::testimages::JpegScans;
  return {
      {"rgb.jpg", EncodeJpeg(8, 8, 3, Samples(8 * 8 * 3, 5))},
      {"grey-progressive.jpg", EncodeJpeg(8, 8, 1, Samples(64, 2), JpegScans::Progressive)},
      {"cmyk.jpg", EncodeJpeg(4, 4, 4, Samples(64, 9))},
  };
}

std::vector<Named> Bmps() {
  using tavo::testimages::BuildBmp;
  return {
      {"24bit.bmp", BuildBmp({40, 3, 2, 24, 0, 0, {}, {}, Samples(24, 1)})},
      {"1bit-core.bmp",
       BuildBmp({12, 3, 2, 1, 0, 0, {}, {0x000000, 0xFFFFFF}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}})},
      {"4bit.bmp",
       BuildBmp({40, 3, 1, 4, 0, 3, {}, {0x112233, 0x445566, 0x778899}, {0x20, 0x10, 0, 0}})},
      {"8bit-topdown.bmp",
       BuildBmp({40, 3, -2, 8, 0, 2, {}, {0xFF0000, 0x00FF00}, {1, 0, 1, 0, 0, 1, 1, 0}})},
      {"rle8.bmp", BuildBmp({40,
                             4,
                             2,
                             8,
                             1,
                             2,
                             {},
                             {0xFF0000, 0x00FF00},
                             {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 2, 1, 0, 0, 1}})},
      {"rle4.bmp",
       BuildBmp(
           {40, 4, 2, 4, 2, 2, {}, {0xFF0000, 0x00FF00}, {4, 0x10, 0, 0, 0, 4, 0x01, 0x10, 0, 1}})},
      {"16bit-565.bmp",
       BuildBmp({40, 2, 1, 16, 3, 0, {0xF800, 0x07E0, 0x001F}, {}, {0xE0, 0x07, 0x10, 0x84}})},
      {"32bit-v5-alpha.bmp",
       BuildBmp({124, 1, 1, 32, 3, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {1, 2, 3, 0x40}})},
      {"24bit-v4.bmp", BuildBmp({108, 1, 1, 24, 0, 0, {}, {}, {1, 2, 3, 0}})},
  };
}

// A 2 x 2 icon image of the given depth with its AND mask.
Bytes IconDib(uint16_t bitCount) {
  const uint32_t stride = (2 * bitCount + 31) / 32 * 4;
  Bytes pixels = Samples(stride * 2, static_cast<uint8_t>(bitCount));
  pixels.insert(pixels.end(), {0x40, 0, 0, 0, 0x00, 0, 0, 0});
  std::vector<uint32_t> palette;
  if (bitCount <= 8) palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  return tavo::testimages::BuildDib(
      {40, 2, 4, bitCount, 0, static_cast<uint32_t>(palette.size()), {}, palette, pixels});
}

std::vector<Named> Icos() {
  using tavo::testimages::BuildIco;
  return {
      {"32bit.ico", BuildIco({{2, 2, 32, IconDib(32)}})},
      {"8bit.ico", BuildIco({{2, 2, 8, IconDib(8)}})},
      {"1bit-and-24bit.ico", BuildIco({{2, 2, 1, IconDib(1)}, {2, 2, 24, IconDib(24)}})},
      {"png.ico", BuildIco({{2, 2, 32, Pngs()[0].bytes}})},
  };
}

void PictureSeeds() {
  const std::vector<std::pair<std::string, std::vector<Named>>> kinds = {
      {"png", Pngs()}, {"jpg", Jpegs()}, {"bmp", Bmps()}, {"ico", Icos()}};
  // LoadPictureFile's first byte: 0 bmp, 1 ico, 2 jpg, 3 jpeg, 4 png, 5 PNG, 6 none, 7 gif.
  for (const auto& [kind, pictures] : kinds) {
    const uint8_t extension = kind == "bmp" ? 0 : kind == "ico" ? 1 : kind == "jpg" ? 2 : 4;
    for (const Named& picture : pictures) {
      Write("LoadPictureFile", picture.name, Prefixed(extension, picture.bytes));
      if (kind != "ico") {
        // LoadBase64Image's first byte: 0 Base64-encode the rest, 2 with wrapped lines.
        Write("LoadBase64Image", picture.name, Prefixed(0, picture.bytes));
      }
      if (kind == "bmp") Write("DecodeBmp", picture.name, picture.bytes);
      if (kind == "ico") Write("DecodeIco", picture.name, picture.bytes);
    }
  }
  Write("LoadPictureFile", "sniffed-png", Prefixed(6, Pngs()[0].bytes));
  Write("LoadPictureFile", "sniffed-bmp", Prefixed(6, Bmps()[0].bytes));
  Write("LoadBase64Image", "wrapped.jpg", Prefixed(2, Jpegs()[0].bytes));
}

void VersionSeeds() {
  using namespace tavo::testing;
  const Bytes block =
      StandardBlock({2, 0, 0, 2}, {{u"FileDescription", u"打印控件"}, {u"FileVersion", u"2.0.0.2"}})
          .Encode();
  Write("VersionInfo", "pe32.dll", WritePe(PeKind::Pe32, block).bytes);
  Write("VersionInfo", "pe32plus.ocx", WritePe(PeKind::Pe32Plus, block).bytes);
  Write("VersionInfo", "elf64.so", WriteElf(true, false, block).bytes);
  Write("VersionInfo", "elf32-big.so", WriteElf(false, true, block).bytes);
  const Bytes twoTables =
      StandardBlock({1, 2, 3, 4}, {{u"ProductName", u"Tavo"}}, u"040904B0").Encode();
  Write("VersionInfo", "pe32-english.exe", WritePe(PeKind::Pe32, twoTables).bytes);
}

// DrawText's inputs: the text first, then the parameters that FuzzedDataProvider takes from the
// end (code page, metrics, font size, rectangle, flags).
void DrawTextSeeds() {
  const std::vector<std::string> texts = {
      "Hello &World && more\r\nsecond line\nthird",
      "\xe5\xa2\x9e\xe5\x80\xbc\xe7\xa8\x8e\xe6\x99\xae\xe9\x80\x9a\xe5\x8f\x91\xe7\xa5\xa8 ABC "
      "long-words-without-breaks here",
      "\xd4\xf6\xd6\xb5\xcb\xb0 GBK \xb7\xa2\xc6\xb1&\xb7\xa2",
      "a b c d e f g h i j k l m n o p q r s t u v w x y z",
  };
  const std::vector<Bytes> tails = {
      {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00,
       0x00, 0x32, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x02, 0x08, 0x0A, 0x60, 0x00},
      {0x11, 0x24, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00,
       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x03, 0x0E, 0x0A, 0x60, 0x01},
      {0x04, 0x04, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,
       0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x48, 0x02, 0x08, 0x0A, 0x60, 0x00},
  };
  int n = 0;
  for (const std::string& text : texts) {
    for (const Bytes& tail : tails) {
      Bytes input(text.begin(), text.end());
      input.insert(input.end(), tail.begin(), tail.end());
      Write("DrawText", "text-" + std::to_string(n++), input);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: MakeSeeds CORPUS_ROOT\n");
    return 2;
  }
  gRoot = argv[1];
  PictureSeeds();
  VersionSeeds();
  DrawTextSeeds();
  return 0;
}
