#include "platform/version/PeWriter.h"

namespace tavo::testing {
namespace {

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFileOffset = 0x200;
constexpr uint32_t kSubdirectory = 0x80000000u;

// A resource directory header with `ids` id entries.
void PutDirectory(Bytes& b, uint16_t ids) {
  for (int i = 0; i < 12; ++i) b.push_back(0);
  Put16(b, 0);
  Put16(b, ids);
}

}  // namespace

PeImage WritePe(PeKind kind, const Bytes& versionBlock) {
  const bool plus = kind == PeKind::Pe32Plus;
  PeImage pe;
  Bytes& b = pe.bytes;

  // The resource section: type, name and language directories, one data entry, the block.
  // An RT_ICON (3) entry comes before RT_VERSION, as the format sorts ids, and leads nowhere.
  Bytes rsrc;
  PutDirectory(rsrc, 2);  // root at 0
  Put32(rsrc, 3);
  Put32(rsrc, 0x60);  // an icon "data entry" that is not what we look for
  const size_t versionEntry = rsrc.size();
  Put32(rsrc, 16);
  Put32(rsrc, kSubdirectory | 0x20);
  PutDirectory(rsrc, 1);  // names at 0x20
  Put32(rsrc, 1);
  Put32(rsrc, kSubdirectory | 0x38);
  PutDirectory(rsrc, 1);  // languages at 0x38
  const size_t languageEntry = rsrc.size();
  Put32(rsrc, 0x0804);
  Put32(rsrc, 0x50);
  const size_t dataEntry = rsrc.size();  // 0x50
  const size_t blockOffset = 0x70;
  Put32(rsrc, kSectionRva + blockOffset);
  Put32(rsrc, static_cast<uint32_t>(versionBlock.size()));
  Put32(rsrc, 0);
  Put32(rsrc, 0);
  Put32(rsrc, kSectionRva + blockOffset);  // the icon entry at 0x60, never followed
  Put32(rsrc, 4);
  Put32(rsrc, 0);
  Put32(rsrc, 0);
  rsrc.insert(rsrc.end(), versionBlock.begin(), versionBlock.end());
  const uint32_t virtualSize = static_cast<uint32_t>(rsrc.size());
  while (rsrc.size() % 0x200) rsrc.push_back(0);

  // DOS header.
  b.assign(0x40, 0);
  b[0] = 'M';
  b[1] = 'Z';
  pe.lfanewAt = 0x3C;
  Set32(b, pe.lfanewAt, 0x40);
  // PE signature and COFF header.
  b.insert(b.end(), {'P', 'E', 0, 0});
  const uint16_t optionalSize = plus ? 240 : 224;
  Put16(b, plus ? 0x8664 : 0x14C);
  Put16(b, 1);  // sections
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put16(b, optionalSize);
  Put16(b, 0x2102);  // executable, 32-bit, DLL
  // Optional header: magic, then zeros up to the directories, whose count precedes them.
  const size_t optional = b.size();
  b.resize(optional + optionalSize, 0);
  Set16(b, optional, plus ? 0x20B : 0x10B);
  const size_t directories = optional + (plus ? 112 : 96);
  Set32(b, directories - 4, 16);
  pe.resourceRvaAt = directories + 2 * 8;
  Set32(b, pe.resourceRvaAt, kSectionRva);
  Set32(b, pe.resourceRvaAt + 4, virtualSize);
  // The one section header.
  const size_t section = b.size();
  b.resize(section + 40, 0);
  for (int i = 0; i < 5; ++i) b[section + i] = ".rsrc"[i];
  Set32(b, section + 8, virtualSize);
  Set32(b, section + 12, kSectionRva);
  pe.sectionRawSizeAt = section + 16;
  Set32(b, pe.sectionRawSizeAt, static_cast<uint32_t>(rsrc.size()));
  pe.sectionRawPtrAt = section + 20;
  Set32(b, pe.sectionRawPtrAt, kSectionFileOffset);
  b.resize(kSectionFileOffset, 0);
  b.insert(b.end(), rsrc.begin(), rsrc.end());

  pe.versionEntryAt = kSectionFileOffset + versionEntry;
  pe.languageEntryAt = kSectionFileOffset + languageEntry;
  pe.dataEntryAt = kSectionFileOffset + dataEntry;
  pe.blockAt = kSectionFileOffset + blockOffset;
  pe.blockSize = versionBlock.size();
  return pe;
}

}  // namespace tavo::testing
