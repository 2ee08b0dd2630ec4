// Writes minimal PE32 and PE32+ images whose resource section holds a version resource, and
// tells where each field lies so a test can damage it.
#pragma once

#include <cstddef>

#include "platform/version/VersionBlockWriter.h"

namespace tavo::testing {

struct PeImage {
  Bytes bytes;
  size_t lfanewAt = 0;          // e_lfanew in the DOS header
  size_t resourceRvaAt = 0;     // the resource data directory's RVA
  size_t sectionRawSizeAt = 0;  // the one section's SizeOfRawData
  size_t sectionRawPtrAt = 0;   // the one section's PointerToRawData
  size_t versionEntryAt = 0;    // the root directory's RT_VERSION entry (id, target)
  size_t languageEntryAt = 0;   // the language directory's entry (id, target)
  size_t dataEntryAt = 0;       // the data entry (RVA, size)
  size_t blockAt = 0;           // the version block
  size_t blockSize = 0;
};

enum class PeKind { Pe32, Pe32Plus };

PeImage WritePe(PeKind kind, const Bytes& versionBlock);

}  // namespace tavo::testing
