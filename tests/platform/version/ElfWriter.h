// Writes minimal ELF files (32 or 64 bit, either byte order) with a section holding a version
// block, and tells where the section header fields lie so a test can damage them.
#pragma once

#include <cstddef>
#include <string>

#include "platform/version/VersionBlockWriter.h"

namespace tavo::testing {

struct ElfImage {
  Bytes bytes;
  size_t shoffAt = 0;          // e_shoff in the file header
  size_t shnumAt = 0;          // e_shnum
  size_t shstrndxAt = 0;       // e_shstrndx
  size_t sectionHeaderAt = 0;  // the version section's header
  size_t offsetFieldAt = 0;    // its sh_offset
  size_t sizeFieldAt = 0;      // its sh_size
  bool is64 = false;
  bool bigEndian = false;
};

ElfImage WriteElf(bool is64, bool bigEndian, const Bytes& sectionData,
                  const std::string& sectionName = ".versioninfo");

// Writes `value` into the `width`-byte field at `at` in the image's byte order.
void SetField(ElfImage& elf, size_t at, size_t width, uint64_t value);

}  // namespace tavo::testing
