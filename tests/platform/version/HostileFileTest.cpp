// Damaged and foreign files: none may crash or hang the reader, and none yields a version.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <random>

#include "platform/version/ElfWriter.h"
#include "platform/version/PeWriter.h"
#include "platform/version/ScratchDir.h"
#include "platform/version/VersionInfo.h"
#include "platform/version/VersionQuery.h"

namespace tavo::testing {
namespace {

Bytes GoodBlock() {
  return StandardBlock({2, 0, 0, 15}, {{u"FileDescription", u"打印控件"}}).Encode();
}

// Runs every query the control could run; true when a fixed version record came back.
bool YieldsVersion(const std::string& path) {
  VersionQuery query(path);
  query.Text("\\StringFileInfo\\080404B0\\FileDescription");
  query.Binary("\\VarFileInfo\\Translation");
  query.Binary("\\StringFileInfo");
  const bool fixed = query.Fixed().has_value();
  EXPECT_EQ(fixed, ReadFixedFileVersion(path).has_value());
  return fixed;
}

TEST(HostileFiles, TruncatedPeImagesYieldAVersionOnlyWhenTheBlockIsWhole) {
  ScratchDir dir;
  for (PeKind kind : {PeKind::Pe32, PeKind::Pe32Plus}) {
    const PeImage pe = WritePe(kind, GoodBlock());
    ASSERT_TRUE(YieldsVersion(dir.Write("whole.dll", pe.bytes)));
    for (size_t length = 0; length < pe.bytes.size(); ++length) {
      const Bytes cut(pe.bytes.begin(), pe.bytes.begin() + length);
      EXPECT_EQ(YieldsVersion(dir.Write("cut.dll", cut)), length >= pe.blockAt + pe.blockSize)
          << "cut at " << length;
    }
  }
}

TEST(HostileFiles, TruncatedElfFilesYieldNoVersion) {
  ScratchDir dir;
  for (bool is64 : {false, true}) {
    const ElfImage elf = WriteElf(is64, is64, GoodBlock());
    ASSERT_TRUE(YieldsVersion(dir.Write("whole.so", elf.bytes)));
    for (size_t length = 0; length < elf.bytes.size(); ++length) {
      const Bytes cut(elf.bytes.begin(), elf.bytes.begin() + length);
      EXPECT_FALSE(YieldsVersion(dir.Write("cut.so", cut))) << "cut at " << length;
    }
  }
}

struct Damage {
  const char* name;
  std::function<Bytes()> make;
};

Bytes DamagedPe(const std::function<void(PeImage&)>& damage, PeKind kind = PeKind::Pe32) {
  PeImage pe = WritePe(kind, GoodBlock());
  damage(pe);
  return pe.bytes;
}

Bytes DamagedElf(const std::function<void(ElfImage&)>& damage, bool is64 = true) {
  ElfImage elf = WriteElf(is64, false, GoodBlock());
  damage(elf);
  return elf.bytes;
}

Bytes PeWithBlock(const std::function<void(Bytes&)>& damage) {
  Bytes block = GoodBlock();
  damage(block);
  return WritePe(PeKind::Pe32Plus, block).bytes;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Damage kDamages[] = {
    {"e_lfanew beyond the end",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.lfanewAt, 0xFFFFFFF0); }); }},
    {"e_lfanew at the DOS header",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.lfanewAt, 0); }); }},
    {"section data beyond the end",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.sectionRawPtrAt, 0xFFFFFE00); }); }},
    {"section raw size zero",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.sectionRawSizeAt, 0); }); }},
    {"resource RVA outside all sections",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.resourceRvaAt, 0x9000); }); }},
    {"resource RVA wrapping",
     [] {
       return DamagedPe([](PeImage& p) { Set32(p.bytes, p.resourceRvaAt, 0xFFFFFFF8); },
                        PeKind::Pe32Plus);
     }},
    {"resource size too small for its tree",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.resourceRvaAt + 4, 0x30); }); }},
    {"data entry size huge",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.dataEntryAt + 4, 0xFFFFFFF0); }); }},
    {"data entry size past the section",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.dataEntryAt + 4, 0x1000); }); }},
    {"data entry RVA outside",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.dataEntryAt, 0x7FFFFFFF); }); }},
    {"version directory points at the root",
     [] {
       return DamagedPe([](PeImage& p) { Set32(p.bytes, p.versionEntryAt + 4, 0x80000000); });
     }},
    {"language directory points at itself",
     [] {
       return DamagedPe([](PeImage& p) { Set32(p.bytes, p.languageEntryAt + 4, 0x80000038); });
     }},
    {"version entry is a leaf",
     [] { return DamagedPe([](PeImage& p) { Set32(p.bytes, p.versionEntryAt + 4, 0x50); }); }},
    {"directory entry count runs past the tree",
     [] { return DamagedPe([](PeImage& p) { Set16(p.bytes, p.blockAt - 0x70 + 14, 0xFFFF); }); }},
    {"wLength larger than the data",
     [] { return DamagedPe([](PeImage& p) { Set16(p.bytes, p.blockAt, p.blockSize + 64); }); }},
    {"wLength zero", [] { return DamagedPe([](PeImage& p) { Set16(p.bytes, p.blockAt, 0); }); }},
    {"wLength odd",
     [] { return DamagedPe([](PeImage& p) { Set16(p.bytes, p.blockAt, p.blockSize - 1); }); }},
    {"wLength shorter than its key",
     [] { return DamagedPe([](PeImage& p) { Set16(p.bytes, p.blockAt, 12); }); }},
    {"root key not VS_VERSION_INFO", [] { return PeWithBlock([](Bytes& b) { b[6] = 'X'; }); }},
    {"fixed record signature wrong",
     [] { return PeWithBlock([](Bytes& b) { Set32(b, 40, 0x12345678); }); }},
    {"fixed record shorter than its type",
     [] { return PeWithBlock([](Bytes& b) { Set16(b, 2, 20); }); }},
    {"fixed record longer than the block",
     [] { return PeWithBlock([](Bytes& b) { Set16(b, 2, 0xFFF0); }); }},
    {"ELF without the section",
     [] { return WriteElf(true, false, GoodBlock(), ".comment").bytes; }},
    {"ELF section table beyond the end",
     [] { return DamagedElf([](ElfImage& e) { SetField(e, e.shoffAt, 8, ~uint64_t{0} - 8); }); }},
    {"ELF section count too large",
     [] { return DamagedElf([](ElfImage& e) { SetField(e, e.shnumAt, 2, 0xFFFE); }); }},
    {"ELF extended count lies",
     [] {
       return DamagedElf([](ElfImage& e) {
         SetField(e, e.shnumAt, 2, 0);
         SetField(e, e.sectionHeaderAt - 64 + 32, 8, ~uint64_t{0});
       });
     }},
    {"ELF name table index out of range",
     [] { return DamagedElf([](ElfImage& e) { SetField(e, e.shstrndxAt, 2, 7); }); }},
    {"ELF name table index extended, lying",
     [] {
       return DamagedElf([](ElfImage& e) {
         SetField(e, e.shstrndxAt, 2, 0xFFFF);
         SetField(e, e.sectionHeaderAt - 64 + 40, 4, 0x7FFFFFFF);
       });
     }},
    {"ELF section data beyond the end",
     [] {
       return DamagedElf([](ElfImage& e) { SetField(e, e.offsetFieldAt, 8, 0xFFFFFFFFFFFFull); });
     }},
    {"ELF section size huge",
     [] {
       return DamagedElf([](ElfImage& e) { SetField(e, e.sizeFieldAt, 4, 0xFFFFFFFF); }, false);
     }},
    {"ELF section name beyond its table",
     [] { return DamagedElf([](ElfImage& e) { SetField(e, e.sectionHeaderAt, 4, 0xFFFFFFF0); }); }},
    {"ELF section header size too small",
     [] { return DamagedElf([](ElfImage& e) { SetField(e, 58, 2, 8); }); }},
    {"ELF class unknown", [] { return DamagedElf([](ElfImage& e) { e.bytes[4] = 9; }); }},
    {"text file", [] { return Text("FileVersion 2.0.0.2\r\nVS_VERSION_INFO\n"); }},
    {"MZ and nothing else", [] { return Text("MZ"); }},
    {"empty file", [] { return Bytes{}; }},
};

TEST(HostileFiles, DamagedOrForeignFilesYieldNoVersion) {
  ScratchDir dir;
  for (const Damage& damage : kDamages) {
    EXPECT_FALSE(YieldsVersion(dir.Write("hostile", damage.make()))) << damage.name;
  }
}

TEST(HostileFiles, PathsWithoutARegularFileYieldNoVersion) {
  ScratchDir dir;
  const std::string fifo = (dir.Path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path :
       {(dir.Path() / "missing.dll").string(), dir.Path().string(), fifo, std::string()}) {
    EXPECT_EQ(GetFileVersionInfoSizeA(path.c_str(), nullptr), 0u) << path;
    EXPECT_FALSE(YieldsVersion(path)) << path;
  }
}

// Random damage anywhere in the headers, tables and block: the reader may find a version or
// not, but must stay inside the file and its buffers (the sanitizer build checks that).
TEST(HostileFiles, RandomDamageIsSurvived) {
  ScratchDir dir;
  std::mt19937 random(20240601);
  const Bytes images[] = {
      WritePe(PeKind::Pe32, GoodBlock()).bytes, WritePe(PeKind::Pe32Plus, GoodBlock()).bytes,
      WriteElf(false, true, GoodBlock()).bytes, WriteElf(true, false, GoodBlock()).bytes};
  for (const Bytes& image : images) {
    for (int round = 0; round < 400; ++round) {
      Bytes damaged = image;
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) {
        damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
      }
      YieldsVersion(dir.Write("fuzzed", damaged));
    }
  }
}

TEST(HostileFiles, RealElfWithoutTheSectionYieldsNoVersion) {
  EXPECT_FALSE(YieldsVersion("/proc/self/exe"));
}

TEST(HostileFiles, DamagedChildrenEndTheWalkButKeepTheFixedRecord) {
  ScratchDir dir;
  BlockNode root = StandardBlock({1, 0, 0, 0}, {{u"ProductName", u"Tavo"}});
  Bytes block = root.Encode();
  // The StringFileInfo structure claims more bytes than its parent holds.
  const size_t stringFileInfo = 0x5C;
  ASSERT_EQ(block[stringFileInfo + 6], 'S');
  Set16(block, stringFileInfo, 0xFFF0);
  VersionQuery query(dir.Write("a.dll", WritePe(PeKind::Pe32, block).bytes));
  EXPECT_TRUE(query.Fixed().has_value());
  EXPECT_EQ(query.Text("\\StringFileInfo\\080404B0\\ProductName"), std::nullopt);
  // Where the next sibling starts is unknown once a length lies: the walk ends there.
  EXPECT_EQ(query.Binary("\\VarFileInfo\\Translation"), std::nullopt);
}

}  // namespace
}  // namespace tavo::testing
