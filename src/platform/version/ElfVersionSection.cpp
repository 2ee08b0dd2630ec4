#include "platform/version/ElfVersionSection.h"

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/version/ByteOrder.h"

namespace tavo::version {
namespace {

constexpr std::string_view kSectionName{".versioninfo\0", 13};
constexpr uint32_t kShtNobits = 8;
constexpr uint16_t kShnXindex = 0xFFFF;

struct SectionHeader {
  uint32_t name = 0;
  uint32_t type = 0;
  uint64_t offset = 0;
  uint64_t size = 0;
  uint32_t link = 0;
};

// Field positions of the two ELF classes.
struct Layout {
  size_t width;  // of addresses and offsets
  size_t headerSize, shoffAt, shentsizeAt, shnumAt, shstrndxAt;
  size_t minEntrySize, offsetAt, sizeAt, linkAt;
};
constexpr Layout kElf32{4, 52, 32, 46, 48, 50, 40, 16, 20, 24};
constexpr Layout kElf64{8, 64, 40, 58, 60, 62, 64, 24, 32, 40};

class ElfImage {
 public:
  explicit ElfImage(const FileReader& file) : file_(file) {}

  bool Load() {
    unsigned char ident[16];
    if (!file_.Read(0, ident, sizeof ident) || std::memcmp(ident,
                                                           "\x7F"
                                                           "ELF",
                                                           4) != 0) {
      return false;
    }
    if (ident[4] != 1 && ident[4] != 2) return false;
    if (ident[5] != 1 && ident[5] != 2) return false;
    layout_ = ident[4] == 1 ? &kElf32 : &kElf64;
    bigEndian_ = ident[5] == 2;

    unsigned char header[64];
    if (!file_.Read(0, header, layout_->headerSize)) return false;
    tableOffset_ = Field(header + layout_->shoffAt, layout_->width);
    entrySize_ = Field(header + layout_->shentsizeAt, 2);
    count_ = Field(header + layout_->shnumAt, 2);
    uint64_t namesIndex = Field(header + layout_->shstrndxAt, 2);
    if (tableOffset_ == 0 || entrySize_ < layout_->minEntrySize) return false;
    // Large section counts and name-table indices live in the first section header.
    if (count_ == 0 || namesIndex == kShnXindex) {
      unsigned char raw[64];
      if (!file_.Read(tableOffset_, raw, layout_->minEntrySize)) return false;
      const SectionHeader first = Parse(raw);
      if (count_ == 0) count_ = first.size;
      if (namesIndex == kShnXindex) namesIndex = first.link;
    }
    if (count_ == 0 || count_ > kMaxReadSize / entrySize_) return false;
    const auto table = file_.ReadRange({tableOffset_, count_ * entrySize_});
    if (!table) return false;
    table_ = std::move(*table);
    const auto names = Header(namesIndex);
    if (!names || names->type == kShtNobits) return false;
    const auto nameTable = file_.ReadRange({names->offset, names->size});
    if (!nameTable) return false;
    names_ = std::move(*nameTable);
    return true;
  }

  uint64_t Count() const { return count_; }

  std::optional<SectionHeader> Header(uint64_t index) const {
    if (index >= count_) return std::nullopt;
    return Parse(table_.data() + index * entrySize_);
  }

  SectionHeader Parse(const unsigned char* raw) const {
    SectionHeader h;
    h.name = static_cast<uint32_t>(Field(raw, 4));
    h.type = static_cast<uint32_t>(Field(raw + 4, 4));
    h.offset = Field(raw + layout_->offsetAt, layout_->width);
    h.size = Field(raw + layout_->sizeAt, layout_->width);
    h.link = static_cast<uint32_t>(Field(raw + layout_->linkAt, 4));
    return h;
  }

  bool NameIs(const SectionHeader& h, std::string_view wanted) const {
    return h.name <= names_.size() && wanted.size() <= names_.size() - h.name &&
           std::memcmp(names_.data() + h.name, wanted.data(), wanted.size()) == 0;
  }

 private:
  uint64_t Field(const unsigned char* p, size_t width) const {
    return ReadUnsigned(p, width, bigEndian_);
  }

  const FileReader& file_;
  const Layout* layout_ = nullptr;
  bool bigEndian_ = false;
  uint64_t tableOffset_ = 0;
  uint64_t entrySize_ = 0;
  uint64_t count_ = 0;
  std::vector<unsigned char> table_;
  std::vector<unsigned char> names_;
};

}  // namespace

std::optional<FileRange> FindElfVersionSection(const FileReader& file) {
  ElfImage image(file);
  if (!image.Load()) return std::nullopt;
  for (uint64_t i = 1; i < image.Count(); ++i) {
    const auto h = image.Header(i);
    if (image.NameIs(*h, kSectionName)) {
      // A section that claims bytes past the end of the file is damaged, whatever it holds.
      if (h->type == kShtNobits || h->offset > file.Size() || h->size > file.Size() - h->offset ||
          h->size > kMaxReadSize) {
        return std::nullopt;
      }
      return FileRange{h->offset, h->size};
    }
  }
  return std::nullopt;
}

}  // namespace tavo::version
