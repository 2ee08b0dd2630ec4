#include "platform/version/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/codepage/CodePage.h"

namespace tavo::version {

std::optional<FileReader> FileReader::Open(const std::string& ansiPath) {
  const std::string path = codepage::AnsiToUtf8(ansiPath);
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  // Non-blocking, so that a path naming a FIFO cannot hang the open; such a file is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    ::close(fd);
    return std::nullopt;
  }
  return FileReader(fd, static_cast<uint64_t>(st.st_size));
}

FileReader::FileReader(FileReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileReader::Read(uint64_t offset, void* out, uint64_t size) const {
  if (offset > size_ || size > size_ - offset) return false;
  auto* dest = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ssize_t got = ::pread(fd_, dest, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    dest += got;
    offset += static_cast<uint64_t>(got);
    size -= static_cast<uint64_t>(got);
  }
  return true;
}

std::optional<std::vector<unsigned char>> FileReader::ReadRange(FileRange range) const {
  if (range.size > kMaxReadSize || range.offset > size_ || range.size > size_ - range.offset) {
    return std::nullopt;
  }
  std::vector<unsigned char> bytes(range.size);
  if (!Read(range.offset, bytes.data(), range.size)) return std::nullopt;
  return bytes;
}

}  // namespace tavo::version
