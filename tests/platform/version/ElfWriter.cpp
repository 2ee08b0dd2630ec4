#include "platform/version/ElfWriter.h"

namespace tavo::testing {

void SetField(ElfImage& elf, size_t at, size_t width, uint64_t value) {
  for (size_t i = 0; i < width; ++i) {
    const size_t k = elf.bigEndian ? width - 1 - i : i;
    elf.bytes.at(at + k) = static_cast<unsigned char>(value >> (8 * i));
  }
}

ElfImage WriteElf(bool is64, bool bigEndian, const Bytes& sectionData,
                  const std::string& sectionName) {
  ElfImage elf;
  elf.is64 = is64;
  elf.bigEndian = bigEndian;
  const size_t width = is64 ? 8 : 4;
  const size_t headerSize = is64 ? 64 : 52;
  const size_t entrySize = is64 ? 64 : 40;

  Bytes& b = elf.bytes;
  b.assign(headerSize, 0);
  b[0] = 0x7F;
  b[1] = 'E';
  b[2] = 'L';
  b[3] = 'F';
  b[4] = is64 ? 2 : 1;
  b[5] = bigEndian ? 2 : 1;
  b[6] = 1;
  SetField(elf, 16, 2, 3);  // ET_DYN

  const size_t dataAt = b.size();
  b.insert(b.end(), sectionData.begin(), sectionData.end());
  const std::string names = std::string("\0", 1) + sectionName + '\0' + ".shstrtab" + '\0';
  const size_t namesAt = b.size();
  b.insert(b.end(), names.begin(), names.end());
  while (b.size() % 8) b.push_back(0);

  const size_t tableAt = b.size();
  b.resize(tableAt + 3 * entrySize, 0);
  elf.shoffAt = is64 ? 40 : 32;
  elf.shnumAt = is64 ? 60 : 48;
  elf.shstrndxAt = is64 ? 62 : 50;
  SetField(elf, elf.shoffAt, width, tableAt);
  SetField(elf, is64 ? 58 : 46, 2, entrySize);
  SetField(elf, elf.shnumAt, 2, 3);
  SetField(elf, elf.shstrndxAt, 2, 2);

  // Section header fields: name, type, flags, addr, offset, size, ...
  const size_t offsetField = is64 ? 24 : 16;
  const size_t sizeField = is64 ? 32 : 20;
  auto header = [&](size_t index, uint32_t name, uint32_t type, size_t at, size_t size) {
    const size_t h = tableAt + index * entrySize;
    SetField(elf, h, 4, name);
    SetField(elf, h + 4, 4, type);
    SetField(elf, h + offsetField, width, at);
    SetField(elf, h + sizeField, width, size);
  };
  header(1, 1, 1 /* PROGBITS */, dataAt, sectionData.size());
  header(2, static_cast<uint32_t>(1 + sectionName.size() + 1), 3 /* STRTAB */, namesAt,
         names.size());
  elf.sectionHeaderAt = tableAt + entrySize;
  elf.offsetFieldAt = elf.sectionHeaderAt + offsetField;
  elf.sizeFieldAt = elf.sectionHeaderAt + sizeField;
  return elf;
}

}  // namespace tavo::testing
