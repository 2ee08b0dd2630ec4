#include "platform/picture/DecodedPictures.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>

namespace tavo {
namespace {

struct Kept {
  FileIdentity file;
  std::string kind;
  Picture picture;
};

std::mutex keptMutex;
std::deque<Kept> kept;  // newest first

int64_t Pixels(const Picture& picture) { return int64_t{picture.Width()} * picture.Height(); }

}  // namespace

FileIdentity FileIdentity::Of(const struct stat& status) {
  constexpr int64_t kNano = 1'000'000'000;
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
          static_cast<int64_t>(status.st_size),
          int64_t{status.st_mtim.tv_sec} * kNano + status.st_mtim.tv_nsec,
          int64_t{status.st_ctim.tv_sec} * kNano + status.st_ctim.tv_nsec};
}

std::optional<Picture> FindDecodedPicture(const FileIdentity& file, const std::string& kind) {
  const std::lock_guard lock(keptMutex);
  const auto found = std::find_if(kept.begin(), kept.end(),
                                  [&](const Kept& k) { return k.file == file && k.kind == kind; });
  if (found == kept.end()) return std::nullopt;
  Picture picture;
  picture.Assign(found->picture);
  return picture;
}

void KeepDecodedPicture(const FileIdentity& file, const std::string& kind, const Picture& picture) {
  if (Pixels(picture) > kDecodedPixelsKept) return;
  const std::lock_guard lock(keptMutex);
  std::erase_if(kept, [&](const Kept& k) { return k.file == file && k.kind == kind; });
  Kept entry{file, kind, {}};
  entry.picture.Assign(picture);
  kept.push_front(std::move(entry));
  const auto pixelsKept = [] {
    int64_t pixels = 0;
    for (const Kept& k : kept) pixels += Pixels(k.picture);
    return pixels;
  };
  while (kept.size() > kDecodedPicturesKept || pixelsKept() > kDecodedPixelsKept) kept.pop_back();
}

}  // namespace tavo
