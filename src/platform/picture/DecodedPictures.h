// The pictures decoded from files lately, so that the same form's background, shown for one
// preview after another, is decoded once. A file is known by its identity and its change times:
// any write, replacement or rename over it makes it a new file.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/picture/Picture.h"

namespace tavo {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified = 0;  // nanoseconds
  int64_t changed = 0;   // nanoseconds
  static FileIdentity Of(const struct stat& status);
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// At most this many pictures, and this many pixels in all, are kept; the oldest go first.
constexpr size_t kDecodedPicturesKept = 4;
constexpr int64_t kDecodedPixelsKept = 8'000'000;

// The picture decoded from the file as `kind` (the name's extension, in lower case; empty when
// the content chose the decoder), if it is still kept.
std::optional<Picture> FindDecodedPicture(const FileIdentity& file, const std::string& kind);
// Keeps the picture decoded from the file (a picture without graphic too: it decodes as none).
void KeepDecodedPicture(const FileIdentity& file, const std::string& kind, const Picture& picture);

}  // namespace tavo
