// Helpers shared by the fuzz targets: a scratch folder for the readers that take a path, the
// invariants every decoded picture must keep, and Base64 text as the documents carry pictures.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "platform/picture/Picture.h"
#include "support/Base64Text.h"

namespace tavo::fuzz {

// Fails the run loudly: libFuzzer keeps the input that led here.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

// A private folder under TMPDIR for the whole run, removed when the process ends normally.
class ScratchFolder {
 public:
  static ScratchFolder& Get() {
    static ScratchFolder folder;
    return folder;
  }

  // Writes the bytes to `name` inside the folder, replacing what was there; returns the path.
  std::string Write(const std::string& name, std::span<const uint8_t> bytes) {
    const std::string path = path_ + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot create a scratch file");
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (wrote <= 0) Fail("cannot write a scratch file");
      done += static_cast<size_t>(wrote);
    }
    ::close(fd);
    return path;
  }

 private:
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavo-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) Fail("cannot create the scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  std::string path_;
};

// A decoded graphic holds exactly its pixels and never more than a picture may.
inline void CheckGraphic(const Graphic& graphic) {
  if (graphic.width < 0 || graphic.height < 0) Fail("negative picture size");
  const int64_t pixels = int64_t{graphic.width} * graphic.height;
  if (pixels > kMaxPicturePixels) Fail("picture over the pixel limit");
  if (graphic.pixels.size() != static_cast<uint64_t>(pixels)) Fail("pixel count != width x height");
}

inline void CheckPicture(const Picture& picture) {
  if (const Graphic* graphic = picture.GetGraphic()) CheckGraphic(*graphic);
}

using test::Base64Encode;

}  // namespace tavo::fuzz
