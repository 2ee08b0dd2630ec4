// Bounded reads from a regular file: a read succeeds only when its whole range lies inside the
// file, so offsets taken from the file itself can never reach past its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavo::version {

// No version resource, nor any table read on the way to it, may be larger than this.
constexpr uint64_t kMaxReadSize = 16u * 1024 * 1024;

// A range of bytes inside a file.
struct FileRange {
  uint64_t offset = 0;
  uint64_t size = 0;
};

class FileReader {
 public:
  // Opens `ansiPath` for reading; none when it is not a regular file that can be opened.
  static std::optional<FileReader> Open(const std::string& ansiPath);

  FileReader(FileReader&& other) noexcept;
  FileReader& operator=(FileReader&& other) noexcept;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  uint64_t Size() const { return size_; }

  // Reads exactly `size` bytes at `offset`; false when the range leaves the file or the read
  // comes up short.
  bool Read(uint64_t offset, void* out, uint64_t size) const;

  // The bytes of `range`; none when it leaves the file or exceeds kMaxReadSize.
  std::optional<std::vector<unsigned char>> ReadRange(FileRange range) const;

 private:
  FileReader(int fd, uint64_t size) : fd_(fd), size_(size) {}

  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace tavo::version
