#include "platform/version/PeVersionResource.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/version/ByteOrder.h"

namespace tavo::version {
namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint64_t kDirectoryHeaderSize = 16;
constexpr uint64_t kDirectoryEntrySize = 8;
constexpr uint64_t kDataEntrySize = 16;

struct Section {
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawPointer;
};

struct DirectoryEntry {
  uint32_t name;    // high bit: a name string; else an integer id
  uint32_t target;  // high bit: a subdirectory; else a data entry (both relative to the root)
};

// The parts of a PE image the resource lookup needs: its sections, to turn relative virtual
// addresses into file offsets, and the extent of its resource tree.
class PeImage {
 public:
  explicit PeImage(const FileReader& file) : file_(file) {}

  bool Load() {
    unsigned char dos[64];
    if (!file_.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint64_t peOffset = Le32(dos + 0x3C);
    unsigned char coff[24];
    if (!file_.Read(peOffset, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0) {
      return false;
    }
    const uint16_t sectionCount = Le16(coff + 6);
    const uint16_t optionalSize = Le16(coff + 20);
    const uint64_t optionalOffset = peOffset + sizeof coff;
    std::vector<unsigned char> optional(optionalSize);
    if (optionalSize < 2 || !file_.Read(optionalOffset, optional.data(), optionalSize)) {
      return false;
    }
    uint64_t directoriesAt;
    switch (Le16(optional.data())) {
      case 0x10B:  // PE32
        directoriesAt = 96;
        break;
      case 0x20B:  // PE32+
        directoriesAt = 112;
        break;
      default:
        return false;
    }
    if (directoriesAt > optionalSize) return false;
    const uint32_t directoryCount = Le32(optional.data() + directoriesAt - 4);
    const uint64_t resourceAt = directoriesAt + 8 * kResourceDirectoryIndex;
    if (directoryCount <= kResourceDirectoryIndex || resourceAt + 8 > optionalSize) return false;
    resourceRva_ = Le32(optional.data() + resourceAt);
    resourceSize_ = Le32(optional.data() + resourceAt + 4);
    if (resourceRva_ == 0 || resourceSize_ < kDirectoryHeaderSize) return false;

    std::vector<unsigned char> table(sectionCount * kSectionHeaderSize);
    if (!file_.Read(optionalOffset + optionalSize, table.data(), table.size())) return false;
    for (uint64_t i = 0; i < sectionCount; ++i) {
      const unsigned char* s = table.data() + i * kSectionHeaderSize;
      sections_.push_back({Le32(s + 12), Le32(s + 16), Le32(s + 20)});
    }
    return true;
  }

  // Reads `size` bytes at the relative virtual address `rva`; all of them must lie in the raw
  // data of one section and inside the file.
  bool ReadRva(uint32_t rva, void* out, uint64_t size) const {
    const auto offset = OffsetOf(rva, size);
    return offset && file_.Read(*offset, out, size);
  }

  std::optional<uint64_t> OffsetOf(uint32_t rva, uint64_t size) const {
    for (const Section& s : sections_) {
      if (rva < s.virtualAddress) continue;
      const uint64_t into = rva - s.virtualAddress;
      if (into < s.rawSize && size <= s.rawSize - into) {
        const uint64_t offset = uint64_t{s.rawPointer} + into;
        if (offset <= file_.Size() && size <= file_.Size() - offset) return offset;
      }
    }
    return std::nullopt;
  }

  // Reads `size` bytes at `offset` inside the resource tree.
  bool ReadResource(uint64_t offset, void* out, uint64_t size) const {
    if (offset > resourceSize_ || size > resourceSize_ - offset) return false;
    if (resourceRva_ + offset > UINT32_MAX) return false;
    return ReadRva(static_cast<uint32_t>(resourceRva_ + offset), out, size);
  }

  // The entries of the resource directory at `offset`, named ones first as the format orders them.
  std::optional<std::vector<DirectoryEntry>> Directory(uint64_t offset) const {
    unsigned char header[kDirectoryHeaderSize];
    if (!ReadResource(offset, header, sizeof header)) return std::nullopt;
    const uint64_t count = uint64_t{Le16(header + 12)} + Le16(header + 14);
    std::vector<unsigned char> raw(count * kDirectoryEntrySize);
    if (!ReadResource(offset + sizeof header, raw.data(), raw.size())) return std::nullopt;
    std::vector<DirectoryEntry> entries;
    for (uint64_t i = 0; i < count; ++i) {
      const unsigned char* e = raw.data() + i * kDirectoryEntrySize;
      entries.push_back({Le32(e), Le32(e + 4)});
    }
    return entries;
  }

  // The data entry at `offset` in the resource tree, as a file range.
  std::optional<FileRange> DataEntry(uint64_t offset) const {
    unsigned char entry[kDataEntrySize];
    if (!ReadResource(offset, entry, sizeof entry)) return std::nullopt;
    const uint32_t rva = Le32(entry);
    const uint32_t size = Le32(entry + 4);
    if (size == 0 || size > kMaxReadSize) return std::nullopt;
    const auto at = OffsetOf(rva, size);
    if (!at) return std::nullopt;
    return FileRange{*at, size};
  }

 private:
  const FileReader& file_;
  std::vector<Section> sections_;
  uint64_t resourceRva_ = 0;
  uint64_t resourceSize_ = 0;
};

}  // namespace

std::optional<FileRange> FindPeVersionResource(const FileReader& file) {
  PeImage image(file);
  if (!image.Load()) return std::nullopt;
  // The tree has exactly three levels: type, name, language. Walking a fixed depth means a
  // directory that points back at itself ends the walk instead of looping.
  const auto types = image.Directory(0);
  if (!types) return std::nullopt;
  const DirectoryEntry* version = nullptr;
  for (const DirectoryEntry& e : *types) {
    if (!(e.name & kHighBit) && e.name == kRtVersion) {
      version = &e;
      break;
    }
  }
  if (!version || !(version->target & kHighBit)) return std::nullopt;
  const auto names = image.Directory(version->target & ~kHighBit);
  if (!names || names->empty() || !(names->front().target & kHighBit)) return std::nullopt;
  const auto languages = image.Directory(names->front().target & ~kHighBit);
  if (!languages || languages->empty() || (languages->front().target & kHighBit)) {
    return std::nullopt;
  }
  return image.DataEntry(languages->front().target);
}

}  // namespace tavo::version
